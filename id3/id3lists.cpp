#include "id3/id3lists.h"

namespace plumtide
{

const QStringList& GenreList()
{
    static const QStringList genres = [] {
        static const char* const names[] = { "Blues", "Classic Rock", "Country", "Dance", "Disco",
            "Funk", "Grunge", "Hip - Hop", "Jazz", "Metal", "New Age", "Oldies", "Other", "Pop",
            "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial", "Alternative", "Ska",
            "Death Metal", "Pranks", "Soundtrack", "Euro - Techno", "Ambient", "Trip - Hop",
            "Vocal", "Jazz + Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid",
            "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk",
            "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic",
            "Darkwave", "Techno - Industrial", "Electronic", "Pop - Folk", "Eurodance", "Dream",
            "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop / Funk",
            "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes",
            "Trailer", "Lo - Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical",
            "Rock & Roll", "Hard Rock" };
        QStringList list;
        int index = 0;
        for (const char* name : names)
            list << QStringLiteral("(%1) %2").arg(index++).arg(QLatin1String(name));
        return list;
    }();
    return genres;
}

const QStringList& FrameNames()
{
    static const QStringList names = {
        QStringLiteral("COMM=Comments"),
        QStringLiteral("EQU2=Equalisation (2)"),
        QStringLiteral("ETCO=Event timing codes"),
        QStringLiteral("GEOB=General encapsulated object"),
        QStringLiteral("LINK=Linked information"),
        QStringLiteral("MCDI=Music CD identifier"),
        QStringLiteral("MLLT=MPEG location lookup table"),
        QStringLiteral("PCNT=Play counter"),
        QStringLiteral("POPM=Popularimeter"),
        QStringLiteral("PRIV=Private frame"),
        QStringLiteral("RBUF=Recommended buffer size"),
        QStringLiteral("RVA2=Relative volume adjustment (2)"),
        QStringLiteral("RVRB=Reverb"),
        QStringLiteral("SIGN=Signature frame"),
        QStringLiteral("SYLT=Synchronised lyric/text"),
        QStringLiteral("SYTC=Synchronised tempo codes"),
        QStringLiteral("TALB=Album"),
        QStringLiteral("TBPM=BPM (beats per minute)"),
        QStringLiteral("TCOM=Composer"),
        QStringLiteral("TCON=Content type"),
        QStringLiteral("TCOP=Copyright message"),
        QStringLiteral("TDEN=Encoding time"),
        QStringLiteral("TDLY=Playlist delay"),
        QStringLiteral("TDOR=Original release time"),
        QStringLiteral("TDRC=Recording time"),
        QStringLiteral("TDRL=Release time"),
        QStringLiteral("TDTG=Tagging time"),
        QStringLiteral("TENC=Encoded by"),
        QStringLiteral("TEXT=Lyricist/Text writer"),
        QStringLiteral("TFLT=File type"),
        QStringLiteral("TIPL=Involved people list"),
        QStringLiteral("TIT1=Content group description"),
        QStringLiteral("TIT2=Title"),
        QStringLiteral("TIT3=Subtitle"),
        QStringLiteral("TKEY=Initial key"),
        QStringLiteral("TLAN=Language(s)"),
        QStringLiteral("TLEN=Length"),
        QStringLiteral("TMCL=Musician credits list"),
        QStringLiteral("TMED=Media type"),
        QStringLiteral("TMOO=Mood"),
        QStringLiteral("TOAL=Original album"),
        QStringLiteral("TOFN=Original filename"),
        QStringLiteral("TOLY=Original lyricist(s)/text writer(s)"),
        QStringLiteral("TOPE=Original artist(s)/performer(s)"),
        QStringLiteral("TOWN=File owner/licensee"),
        QStringLiteral("TPE1=Lead performer(s)/Soloist(s)"),
        QStringLiteral("TPE2=Band"),
        QStringLiteral("TPE3=Conductor/performer refinement"),
        QStringLiteral("TPE4=Interpreted, remixed, or otherwise modified by"),
        QStringLiteral("TPOS=Part of a set"),
        QStringLiteral("TPRO=Produced notice"),
        QStringLiteral("TPUB=Publisher"),
        QStringLiteral("TRCK=Track number/Position in set"),
        QStringLiteral("TRSN=Internet radio station name"),
        QStringLiteral("TRSO=Internet radio station owner"),
        QStringLiteral("TSOA=Album sort order"),
        QStringLiteral("TSOP=Performer sort order"),
        QStringLiteral("TSOT=Title sort order"),
        QStringLiteral("TSRC=ISRC (international standard recording code)"),
        QStringLiteral("TSSE=Software/Hardware and settings used for encoding"),
        QStringLiteral("TSST=Set subtitle"),
        QStringLiteral("TXXX=User defined text information frame"),
        QStringLiteral("TYER=Year"),
        QStringLiteral("UFID=Unique file identifier"),
        QStringLiteral("USER=Terms of use"),
        QStringLiteral("USLT=Unsynchronised lyric/text transcription"),
        QStringLiteral("WCOM=Commercial information"),
        QStringLiteral("WCOP=Copyright/Legal information"),
        QStringLiteral("WOAF=Official audio file webpage"),
        QStringLiteral("WOAR=Official artist/performer webpage"),
        QStringLiteral("WOAS=Official audio source webpage"),
        QStringLiteral("WORS=Official Internet radio station homepage"),
        QStringLiteral("WPAY=Payment"),
        QStringLiteral("WPUB=Publishers official webpage"),
        QStringLiteral("WXXX=User defined URL link frame"),
    };
    return names;
}

QString FrameDescription(const QString& id)
{
    for (const QString& entry : FrameNames()) {
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        if (QStringView(entry).left(equals).compare(id, Qt::CaseInsensitive) == 0)
            return entry.mid(equals + 1);
    }
    return QString();
}

} // namespace plumtide
