// The commands of plumtide-cli: what each accepts, and the texts of its --help and of its
// section of the manual page.

#include "cli/commands.h"
#include "cli/help.h"

namespace plumtide::cli
{

const std::vector<CommandInfo>& Commands()
{
    static const std::vector<CommandInfo> commands {
        { .name = "key",
            .summary = "the artist key of each NAME (or of each line of standard input)",
            .forms = { "[NAME...]" },
            .description = "Prints the artist key of each NAME, one per line; with no NAME, the "
                           "key of each line\n"
                           "of standard input.",
            .run = RunKey },
        { .name = "score",
            .summary = "the similarity of FIRST and SECOND (or of each FIRST<TAB>SECOND line)",
            .forms = { "[FIRST SECOND]" },
            .description = "Prints the similarity of FIRST and SECOND, in that order, as the "
                           "plan's % column\n"
                           "writes it (with \".\"); with no arguments, one score per "
                           "FIRST<TAB>SECOND line of\n"
                           "standard input.",
            .run = RunScore },
        { .name = "tags",
            .summary = "the tag of each FILE: version, ID3v1 block, frames",
            .forms = { "FILE..." },
            .description = "For each FILE prints file<TAB>path, version<TAB>major.revision (or "
                           "none),\n"
                           "v1<TAB>yes|no, then frame<TAB>ID<TAB>size<TAB>text per frame in tag "
                           "order (text only\n"
                           "for text frames).",
            .run = RunTags },
        { .name = "list",
            .summary = "the music files of SOURCE with artist key and title",
            .forms = { "[--json] [--formats LIST] SOURCE" },
            .description = "Prints path<TAB>artist key<TAB>title for every music file below "
                           "SOURCE, in list\n"
                           "order. Files in use are reported on standard error.",
            .options = {
                { "--formats", "LIST",
                    "the extensions listed, comma-separated: any of mp3, flac, ogg, oga, opus, "
                    "m4a (default: Formats in the settings, else mp3)" },
                { "--json", nullptr, "JSON Lines: {\"path\",\"key\",\"title\"}" },
            },
            .run = RunList },
        { .name = "folders",
            .summary = "the folders below DEST with their relative names",
            .forms = { "[--json] DEST" },
            .description = "Prints path<TAB>relative folder name for every folder below DEST, "
                           "in list order.",
            .options = { { "--json", nullptr, "JSON Lines: {\"path\",\"folder\"}" } },
            .run = RunFolders },
        { .name = "plan",
            .summary = "the sort plan of SOURCE into DEST, and the new artists",
            .forms = { "[OPTIONS] SOURCE DEST" },
            .description = "Prints plan<TAB>file<TAB>score<TAB>folder per plan row, then\n"
                           "unfiled<TAB>file<TAB>reason[<TAB>folder...] per file without a row "
                           "(reason\n"
                           "no-folder, ambiguous, one-off or name-ambiguous), then new<TAB>key "
                           "per\n"
                           "artist that has no folder yet. Nothing is changed.",
            .options = {
                { "--match", "similar|careful",
                    "similar names (at least the percentage), or only the same artist (see "
                    "the README); rows of careful matching and of assignments add a fifth "
                    "field: same, one-off, from-name or assigned" },
                { "--json", nullptr,
                    "JSON Lines: {\"type\":\"plan\",\"file\",\"score\",\"folder\"}, "
                    "{\"outcome\":\"unfiled\",\"file\",\"reason\",\"folders\"} and "
                    "{\"type\":\"new\",\"key\"}" },
                { "--percentage" },
                { "--accept-one-off" },
                { "--doubles" },
                { "--formats" },
                { "--delete-small" },
                { "--keep-small" },
                { "--settle" },
                { "--no-companions" },
            },
            .optionsOf = "sort",
            .run = RunPlan },
        { .name = "sort",
            .summary = "plans and moves SOURCE into DEST",
            .forms = { "[OPTIONS] SOURCE DEST" },
            .description = "Plans, then moves each planned file into its folder, one line per "
                           "plan row and per\n"
                           "file that travels with its song:\n"
                           "moved, double-moved, double-deleted, double-kept, small-deleted, "
                           "in-place, or\n"
                           "skipped<TAB>file<TAB>reason; then "
                           "unfiled<TAB>file<TAB>reason[<TAB>folder...] per\n"
                           "file the plan gave no row (as plan prints it), and a summary line "
                           "(sorted: ...) on\n"
                           "standard error.\n"
                           "Settings not given come from the desktop program.",
            .options = {
                { "--percentage", "N",
                    "the compare percentage, 0 to 100 (default: Percentage in the "
                    "settings)" },
                { "--match", "similar|careful",
                    "similar names, at least the compare percentage, or only the same "
                    "artist's folder (default: Matching in the settings, else similar)" },
                { "--accept-one-off", nullptr,
                    "careful matching files a file whose artist is one letter off a folder's "
                    "name into that folder; without it such a file stays (unfiled, one-off, "
                    "with the folder)" },
                { "--doubles", "move:DIR|delete|keep",
                    "set doubles aside in DIR (never overwriting a file there), delete them, "
                    "or leave them in SOURCE. Without it, DoubleDir of the settings, or "
                    "\"Plumtide doubles\" in the music folder (else the home folder), made by "
                    "the first double set aside there. A DIR that does not exist is not made: "
                    "its doubles stay where they are (doubles folder missing) and the rest is "
                    "sorted. A double is the same song (the same audio, whatever the tags) "
                    "under a name its folder holds; a different song of that name is filed as "
                    "name (2).mp3" },
                { "--doubles-by-audio", nullptr,
                    "the same song under any name in its folder is a double too (default: "
                    "DoublesByAudio in the settings)" },
                { "--remove-emptied-folders", nullptr,
                    "remove the sub-folders of SOURCE that the run emptied of everything "
                    "(folder-removed<TAB>folder; undo makes them again; default: "
                    "RemoveEmptiedFolders in the settings)" },
                { "--formats", "LIST",
                    "the extensions sorted, comma-separated: any of mp3, flac, ogg, oga, opus, "
                    "m4a (default: Formats in the settings, else mp3)" },
                { "--delete-small", "KB",
                    "delete music files smaller than KB kilobytes (1024 bytes)" },
                { "--keep-small", nullptr, "sort small files like any other" },
                { "--create-artist-folders", nullptr,
                    "first create a folder below DEST for each new artist "
                    "(created<TAB>folder), then plan again; the folders are recorded as a run "
                    "of their own (origin create), which undo takes back while they are "
                    "empty" },
                { "--settle", "SECONDS",
                    "a file changed this recently is waited for once, and left if it changes "
                    "meanwhile (still being written; default 2)" },
                { "--trash", nullptr,
                    "deleted small files and doubles go to the desktop's Trash, where undo can "
                    "bring them back (default: UseTrash in the settings)" },
                { "--no-trash", nullptr,
                    "deleted small files and doubles are deleted for good" },
                { "--no-companions", nullptr,
                    "leave lyrics, cue sheets and notes named as a song (.lrc, .cue, .txt "
                    "beside it) where they are; by default they move with it into the same "
                    "folder, under the name the song gets there (moved<TAB>file<TAB>target "
                    "each; default: MoveCompanions in the settings)" },
                { "--no-history", nullptr,
                    "do not record the run in the history, so that undo cannot take it back "
                    "(default: KeepHistory in the settings)" },
                { "--on-run", "COMMAND",
                    "after a run that moved something, left files or failed, run COMMAND with "
                    "/bin/sh -c: PLUMTIDE_EVENT is complete, needs-attention or error, standard "
                    "input one JSON object {\"event\",\"summary\",\"moved\",\"left\"}, its "
                    "output goes to standard error; its failure changes nothing of the run's "
                    "(default: OnRun in the settings; '' for none; see the README)" },
                { "--on-run-timeout", "SECONDS",
                    "end the --on-run COMMAND after this long, 1 to 3600 (default: OnRunTimeout in "
                    "the settings, else 10)" },
                { "--dry-run", nullptr, "print what would happen; change nothing" },
                { "--fail-if-left", nullptr,
                    "exit status 3 when a file was left in SOURCE (skipped for any reason, or "
                    "unfiled; not a double kept by choice), each told on standard error" },
                { "--json", nullptr,
                    "JSON Lines: {\"outcome\",\"file\",\"target\",\"reason\"}, last "
                    "{\"outcome\":\"summary\",...} with the counts" },
            },
            .notes = "Every sort but a dry run or one with --no-history is recorded in the "
                     "history (see\n"
                     "history, undo).\n"
                     "Ctrl-C finishes the file being moved, then stops (exit status 130). A "
                     "write error\n"
                     "on standard output stops it the same way, with exit status 1.",
            .run = RunSort },
        { .name = "watch",
            .summary = "sorts SOURCE into DEST, then each new file once it has settled",
            .forms = { "[OPTIONS] [SOURCE DEST]" },
            .description = "Sorts what is in SOURCE, then watches SOURCE and its sub-folders "
                           "and sorts each new\n"
                           "music file (of --formats) once it has settled: unchanged and not in "
                           "use by another\n"
                           "program for --settle seconds, so a file still being downloaded or "
                           "copied is never\n"
                           "moved half-written. Files that settle close together share a run. "
                           "Each run prints\n"
                           "what sort prints; what happens to the watch goes to standard error. "
                           "Without SOURCE\n"
                           "and DEST it watches the folders of the desktop program's settings.",
            .options = {
                { "--settle", "SECONDS",
                    "how long a file must stay unchanged and unused before it is sorted "
                    "(default 10)" },
                { "--poll", "SECONDS",
                    "how often SOURCE is read again where the system cannot watch it, or where "
                    "it lies on a network or FUSE file system whose changes made elsewhere "
                    "send no notices (default 30)" },
                { "--retry", "SECONDS",
                    "how often files left in SOURCE (no folder for their artist yet) are tried "
                    "again; 0: when they change (default 600)" },
                { "--percentage" },
                { "--match" },
                { "--accept-one-off" },
                { "--doubles" },
                { "--formats" },
                { "--delete-small" },
                { "--keep-small" },
                { "--create-artist-folders" },
                { "--trash" },
                { "--no-trash" },
                { "--no-companions" },
                { "--no-history" },
                { "--doubles-by-audio" },
                { "--remove-emptied-folders" },
                { "--on-run" },
                { "--on-run-timeout" },
                { "--dry-run" },
                { "--json" },
            },
            .notes = "A missing SOURCE or DEST (an unmounted disk) is waited for, and so is a "
                     "DEST that\n"
                     "is no longer the folder the watch began with or an empty mount point "
                     "with nothing\n"
                     "mounted. Each file left in SOURCE is told on standard error when first "
                     "left and\n"
                     "when its reason changes. SIGTERM, SIGHUP or Ctrl-C finishes the file "
                     "being moved,\n"
                     "then ends the watch (exit status 0).",
            .optionsOf = "sort",
            .run = RunWatch },
        { .name = "history",
            .summary = "the runs recorded, newest first, or the records of one RUN",
            .forms = { "[--json] [--prune DAYS] [RUN]" },
            .description = "Prints one line per run, newest first:\n"
                           "run<TAB>id<TAB>started<TAB>ended<TAB>origin<TAB>source<TAB>"
                           "destination<TAB>files<TAB>state\n"
                           "(times in ISO 8601; origin window, auto, menu, cli, watch, undo or "
                           "create; files:\n"
                           "files moved, deleted or restored; state done, aborted, failed, "
                           "undone,\n"
                           "partly-undone, or running).\n"
                           "With RUN, that run's records in sort's format, and for an undo\n"
                           "restored<TAB>target<TAB>source, removed<TAB>folder and\n"
                           "not-restored<TAB>path<TAB>reason.",
            .options = {
                { "--prune", "DAYS",
                    "first remove the runs that started more than DAYS days ago (runs are "
                    "kept 365 days by default)" },
                { "--json", nullptr,
                    "JSON Lines: {\"type\":\"run\",\"id\",\"started\",...} or sort's "
                    "records" },
            },
            .run = RunHistory },
        { .name = "undo",
            .summary = "takes a sort back: every file it moved or trashed goes back",
            .forms = { "[--dry-run] [--json] [RUN]" },
            .description = "Takes back RUN (default: the newest run that is not an undo and "
                           "not yet undone):\n"
                           "each file goes back to its old path if the file at its target is "
                           "still the one\n"
                           "moved there and the old path is free; missing folders are made "
                           "again. A folder it\n"
                           "made is removed while it is empty. Prints "
                           "restored<TAB>target<TAB>source,\n"
                           "removed<TAB>folder or not-restored<TAB>path<TAB>reason per file, "
                           "then a summary\n"
                           "line (undone: ...) on standard error. Files deleted for good cannot "
                           "come back;\n"
                           "those that went to the Trash do. Exit status 1 when there is "
                           "nothing to undo, 3\n"
                           "when files stayed that a later undo RUN may still bring back (a dry "
                           "run too).",
            .options = {
                { "--dry-run", nullptr, "print what would happen; change nothing" },
                { "--json", nullptr,
                    "JSON Lines: {\"outcome\",\"file\",\"target\",\"reason\"}" },
            },
            .run = RunUndo },
        { .name = "assign",
            .summary = "files of an ARTIST go to FOLDER from now on, whatever the matching",
            .forms = { "ARTIST FOLDER", "--list", "--remove ARTIST" },
            .description = "Remembers that files of ARTIST (compared as careful matching folds "
                           "names: case,\n"
                           "accents, \"The\" and punctuation aside) go to FOLDER, a folder below "
                           "the destination,\n"
                           "given relative to it (\"Pop/Madonna\") or as a path below the "
                           "Destination of the\n"
                           "settings. It applies before any matching, in both ways of matching: "
                           "aliases\n"
                           "(2Pac and Tupac) and artists a rule leaves unfiled. The assignments "
                           "live in\n"
                           "assignments.tsv beside the settings file.",
            .options = {
                { "--list", nullptr, "print folded artist<TAB>folder per assignment" },
                { "--remove", "ARTIST", "forget the assignment of ARTIST" },
            },
            .run = RunAssign },
    };
    return commands;
}

} // namespace plumtide::cli
