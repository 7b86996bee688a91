#include "core/reasons.h"

#include <array>
#include <cerrno>

namespace plumtide
{

const QString& ReasonText(TReason reason)
{
    static const std::array<QString, size_t(TReason::NameTaken) + 1> texts {
        QString(),
        QStringLiteral("already moved by an earlier row"),
        QStringLiteral("already handled by an earlier row"),
        QStringLiteral("no longer exists"),
        QStringLiteral("in use"),
        QStringLiteral("still being written"),
        QStringLiteral("held by an undo"),
        QStringLiteral("folder missing"),
        QStringLiteral("path too long"),
        QStringLiteral("copy failed"),
        QStringLiteral("small file could not be deleted"),
        QStringLiteral("double could not be deleted"),
        QStringLiteral("no free name in the doubles folder"),
        QStringLiteral("permission denied"),
        QStringLiteral("name refused by the file system"),
        QStringLiteral("no space"),
        QStringLiteral("symbolic link"),
        QStringLiteral("could not be put in the Trash: no Trash on its file system"),
        QStringLiteral("could not be put in the Trash: permission denied"),
        QStringLiteral("could not be put in the Trash: no space"),
        QStringLiteral("could not be put in the Trash: the move there failed"),
        QStringLiteral("no longer at its target"),
        QStringLiteral("changed since the move"),
        QStringLiteral("old path taken"),
        QStringLiteral("deleted for good"),
        QStringLiteral("no longer in the Trash"),
        QStringLiteral("recorded path is relative"),
        QStringLiteral("no folder for its artist"),
        QStringLiteral("doubles folder missing"),
        QStringLiteral("folder not empty"),
        QStringLiteral("companion in use"),
        QStringLiteral("its song stayed"),
        QStringLiteral("name taken beside its song"),
        QStringLiteral("name taken"),
    };
    return texts[size_t(reason)];
}

const QString& UnfiledReasonText(TUnfiledReason reason)
{
    static const std::array<QString, size_t(TUnfiledReason::SameArtist) + 1> texts {
        QStringLiteral("no-folder"),
        QStringLiteral("ambiguous"),
        QStringLiteral("one-off"),
        QStringLiteral("no-album-folder"),
        QStringLiteral("compilation"),
        QStringLiteral("name-ambiguous"),
        QStringLiteral("same-artist"),
    };
    return texts[size_t(reason)];
}

bool CountsAsLeft(TUnfiledReason reason)
{
    return reason != TUnfiledReason::Compilation;
}

TReason ReasonOfError(int errnoValue)
{
    switch (errnoValue) {
    case EACCES:
    case EPERM:
    case EROFS:
        return TReason::PermissionDenied;
    case ENAMETOOLONG:
        return TReason::PathTooLong;
    case EINVAL:
    case EILSEQ:
        return TReason::NameRefused;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return TReason::NoSpace;
    case ENOENT:
        return TReason::FolderMissing;
    case ENOTEMPTY:
        return TReason::FolderNotEmpty;
    case ELOOP:
        return TReason::SymbolicLink;
    case EBUSY:
        return TReason::InUse;
    case EEXIST:
        return TReason::PathTaken;
    default:
        return TReason::CopyFailed;
    }
}

TReason NotTrashedReason(int errnoValue)
{
    switch (ReasonOfError(errnoValue)) {
    case TReason::PermissionDenied:
        return TReason::NotTrashedPermission;
    case TReason::NoSpace:
        return TReason::NotTrashedNoSpace;
    default:
        return errnoValue == EXDEV ? TReason::NotTrashedNoTrash : TReason::NotTrashedFailed;
    }
}

} // namespace plumtide
