#include "ui/foldertree.h"

#include "platform/filestatus.h"
#include "platform/folderreader.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QSet>
#include <QStorageInfo>
#include <QThreadPool>

#include <algorithm>

namespace plumtide
{

namespace
{

bool isOneOf(const QString& text, std::initializer_list<const char*> names)
{
    return std::any_of(
        names.begin(), names.end(), [&](const char* name) { return text == QLatin1String(name); });
}

// Kernel and desktop helpers that hold no user's files.
bool isPseudoFileSystem(const QString& type)
{
    return isOneOf(type,
        { "proc", "sysfs", "tmpfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs",
            "debugfs", "tracefs", "configfs", "fusectl", "mqueue", "hugetlbfs", "pstore", "bpf",
            "autofs", "binfmt_misc", "efivarfs", "ramfs", "rpc_pipefs", "nsfs", "selinuxfs",
            "squashfs", "overlay", "fuse.gvfsd-fuse", "fuse.portal", "fuse.snapfuse" });
}

bool isNetworkFileSystem(const QString& type)
{
    return isOneOf(type,
        { "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "glusterfs", "9p",
            "sshfs", "fuse.sshfs", "davfs", "fuse.davfs2", "fuse.rclone", "fuse.s3fs" });
}

bool isBelowMountFolder(const QString& path)
{
    for (const char* folder : { "/media/", "/mnt/", "/run/media/" }) {
        if (path.startsWith(QLatin1String(folder)))
            return true;
    }
    return false;
}

QString lastComponent(const QString& path)
{
    return path.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
}

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// Runs on a worker thread: the visible sub-folders of `path`, in display order. A folder
// that cannot be read has none.
QStringList readSubfolders(const QString& path)
{
    QStringList names;
    FolderReader reader(EncodePath(path));
    FolderEntry entry;
    while (reader.next(entry)) {
        if (entry.kind == FolderEntry::Kind::Folder && !entry.name.startsWith('.'))
            names.append(QFile::decodeName(entry.name));
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = CompareFolderNames(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

} // namespace

int CompareFolderNames(const QString& a, const QString& b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            // Runs of digits compare by value: without leading zeros, longer is larger.
            const auto run = [](const QString& text, qsizetype& at) {
                while (at < text.size() && text.at(at) == QLatin1Char('0'))
                    ++at;
                const qsizetype start = at;
                while (at < text.size() && text.at(at).isDigit())
                    ++at;
                return QStringView(text).mid(start, at - start);
            };
            const QStringView x = run(a, i), y = run(b, j);
            if (x.size() != y.size())
                return x.size() < y.size() ? -1 : 1;
            if (const int order = x.compare(y); order != 0)
                return order;
            continue;
        }
        const char32_t x = a.at(i++).toCaseFolded().unicode();
        const char32_t y = b.at(j++).toCaseFolded().unicode();
        if (x != y)
            return x < y ? -1 : 1;
    }
    return (a.size() - i > 0) - (b.size() - j > 0);
}

bool IsFileSystemRoot(const QString& folder, const std::vector<TMountedVolume>& volumes)
{
    const QString path = QDir::cleanPath(folder);
    if (path == QLatin1String("/"))
        return true;
    return std::any_of(volumes.begin(), volumes.end(),
        [&](const TMountedVolume& volume) { return QDir::cleanPath(volume.rootPath) == path; });
}

std::vector<TMountedVolume> MountedVolumes()
{
    std::vector<TMountedVolume> volumes;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes())
        volumes.push_back({ storage.rootPath(), QString::fromUtf8(storage.fileSystemType()),
            storage.name(), storage.isValid() && storage.isReady() });
    return volumes;
}

std::vector<TComputerPlace> ComputerPlaces(
    const QString& homePath, const std::vector<TMountedVolume>& volumes)
{
    using Kind = TComputerPlace::Kind;
    std::vector<TComputerPlace> places { { Kind::Root, QStringLiteral("/"), QStringLiteral("/") } };
    if (!homePath.isEmpty() && homePath != QLatin1String("/"))
        places.push_back({ Kind::Home, homePath, QStringLiteral("Home") });

    std::vector<TComputerPlace> mounted;
    for (const TMountedVolume& volume : volumes) {
        const QString type = volume.fileSystemType.toLower();
        if (!volume.ready || isPseudoFileSystem(type))
            continue;
        Kind kind;
        if (isNetworkFileSystem(type))
            kind = Kind::Network;
        else if (isBelowMountFolder(volume.rootPath))
            kind = Kind::Removable;
        else
            continue;
        const bool listed = std::any_of(places.begin(), places.end(),
                                [&](const TComputerPlace& p) { return p.path == volume.rootPath; })
            || std::any_of(mounted.begin(), mounted.end(),
                [&](const TComputerPlace& p) { return p.path == volume.rootPath; });
        if (listed)
            continue;
        const QString caption
            = volume.name.isEmpty() ? lastComponent(volume.rootPath) : volume.name;
        mounted.push_back({ kind, volume.rootPath, caption });
    }
    std::sort(mounted.begin(), mounted.end(),
        [](const TComputerPlace& a, const TComputerPlace& b) { return a.path < b.path; });
    places.insert(places.end(), mounted.begin(), mounted.end());
    return places;
}

// --- The model -------------------------------------------------------------------------

struct TFolderTreeModel::Node {
    enum class Kind { Top, Computer, Root, Home, Removable, Network, Folder };

    Node* parent = nullptr;
    int row = 0;
    Kind kind = Kind::Folder;
    QString caption;
    QString path;
    quint64 id = 0;
    bool read = false; // its sub-folders are known (and it is watched)
    bool reading = false;
    bool readAgain = false; // it changed while being read
    std::vector<std::unique_ptr<Node>> children;

    bool isFolder() const { return kind != Kind::Top && kind != Kind::Computer; }
};

struct TFolderTreeModel::Wanted {
    Node::Kind kind;
    QString caption;
    QString path;
};

TFolderTreeModel::TFolderTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
    , m_top(std::make_unique<Node>())
{
    const QFileIconProvider icons;
    m_folderIcon = icons.icon(QFileIconProvider::Folder);
    m_computerIcon = icons.icon(QFileIconProvider::Computer);
    m_driveIcon = icons.icon(QFileIconProvider::Drive);
    m_networkIcon = icons.icon(QFileIconProvider::Network);
    m_homeIcon = QIcon::fromTheme(QStringLiteral("user-home"), m_folderIcon);

    m_top->kind = Node::Kind::Top;
    m_top->read = true;
    auto computer = makeNode(m_top.get(), { Node::Kind::Computer, QStringLiteral("Computer"), {} });
    computer->read = true;
    m_computer = computer.get();
    m_top->children.push_back(std::move(computer));

    connect(
        &m_watcher, &QFileSystemWatcher::directoryChanged, this, &TFolderTreeModel::folderChanged);
    // Desktops mount removable media in a folder of its own below one of these.
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = QDir::home().dirName();
    for (const QString& folder :
        { QStringLiteral("/media"), QStringLiteral("/media/") + user, QStringLiteral("/mnt"),
            QStringLiteral("/run/media"), QStringLiteral("/run/media/") + user }) {
        if (KindOfPath(folder) == PathKind::Folder && m_watcher.addPath(folder))
            m_mountFolders.append(folder);
    }
    refreshPlaces();
}

TFolderTreeModel::~TFolderTreeModel() = default;

std::unique_ptr<TFolderTreeModel::Node> TFolderTreeModel::makeNode(
    Node* parent, const Wanted& wanted)
{
    auto node = std::make_unique<Node>();
    node->parent = parent;
    node->kind = wanted.kind;
    node->caption = wanted.caption;
    node->path = wanted.path;
    node->id = m_nextId++;
    m_nodes.insert(node->id, node.get());
    return node;
}

QModelIndex TFolderTreeModel::computerIndex() const
{
    return indexOf(m_computer);
}

QString TFolderTreeModel::path(const QModelIndex& index) const
{
    const Node* node = nodeOf(index);
    return node ? node->path : QString();
}

bool TFolderTreeModel::isRead(const QModelIndex& index) const
{
    const Node* node = nodeOf(index);
    return node && node->read;
}

void TFolderTreeModel::refreshPlaces()
{
    std::vector<Wanted> wanted;
    for (const TComputerPlace& place : ComputerPlaces(QDir::homePath(), MountedVolumes())) {
        static const Node::Kind kinds[]
            = { Node::Kind::Root, Node::Kind::Home, Node::Kind::Removable, Node::Kind::Network };
        wanted.push_back({ kinds[static_cast<int>(place.kind)], place.caption, place.path });
    }
    mergeChildren(m_computer, wanted);
}

TFolderTreeModel::Node* TFolderTreeModel::nodeOf(const QModelIndex& index) const
{
    return index.isValid() && index.model() == this ? static_cast<Node*>(index.internalPointer())
                                                    : nullptr;
}

QModelIndex TFolderTreeModel::indexOf(const Node* node) const
{
    if (!node || node == m_top.get())
        return {};
    return createIndex(node->row, 0, const_cast<Node*>(node));
}

QModelIndex TFolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const Node* node = parent.isValid() ? nodeOf(parent) : m_top.get();
    if (!node || column != 0 || row < 0 || row >= static_cast<int>(node->children.size()))
        return {};
    return createIndex(row, 0, node->children[static_cast<size_t>(row)].get());
}

QModelIndex TFolderTreeModel::parent(const QModelIndex& child) const
{
    const Node* node = nodeOf(child);
    return node ? indexOf(node->parent) : QModelIndex();
}

int TFolderTreeModel::rowCount(const QModelIndex& parent) const
{
    const Node* node = parent.isValid() ? nodeOf(parent) : m_top.get();
    return node && parent.column() <= 0 ? static_cast<int>(node->children.size()) : 0;
}

int TFolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool TFolderTreeModel::hasChildren(const QModelIndex& parent) const
{
    const Node* node = parent.isValid() ? nodeOf(parent) : m_top.get();
    // Until it is read a folder may have sub-folders; reading it settles the question.
    return node && (!node->read || !node->children.empty());
}

bool TFolderTreeModel::canFetchMore(const QModelIndex& parent) const
{
    const Node* node = nodeOf(parent);
    return node && node->isFolder() && !node->read && !node->reading;
}

void TFolderTreeModel::fetchMore(const QModelIndex& parent)
{
    if (canFetchMore(parent))
        startReading(nodeOf(parent));
}

QVariant TFolderTreeModel::data(const QModelIndex& index, int role) const
{
    const Node* node = nodeOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return node->caption;
    case Qt::ToolTipRole:
        return node->isFolder() ? node->path : QVariant();
    case Qt::DecorationRole:
        switch (node->kind) {
        case Node::Kind::Computer:
            return m_computerIcon;
        case Node::Kind::Root:
        case Node::Kind::Removable:
            return m_driveIcon;
        case Node::Kind::Network:
            return m_networkIcon;
        case Node::Kind::Home:
            return m_homeIcon;
        default:
            return m_folderIcon;
        }
    default:
        return {};
    }
}

Qt::ItemFlags TFolderTreeModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TFolderTreeModel::startReading(Node* node)
{
    node->reading = true;
    // The worker gets copies only; its result comes back through the application object,
    // which outlives every model, and finds this model and the node again, or nothing.
    QPointer<TFolderTreeModel> self(this);
    const quint64 id = node->id;
    const QString path = node->path;
    QThreadPool::globalInstance()->start([self, id, path] {
        QStringList names = readSubfolders(path);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, id, names = std::move(names)] {
                if (self)
                    self->applyReading(id, names);
            },
            Qt::QueuedConnection);
    });
}

void TFolderTreeModel::applyReading(quint64 id, const QStringList& names, qsizetype from)
{
    Node* node = m_nodes.value(id);
    if (!node)
        return; // gone meanwhile
    // A first reading of a large folder arrives in slices, one per turn of the event loop,
    // so that the window keeps painting and taking input while the rows come in.
    constexpr qsizetype kSlice = 2000;
    if (!node->read && names.size() > kSlice) {
        const qsizetype end = std::min(names.size(), from + kSlice);
        std::vector<Wanted> slice;
        slice.reserve(static_cast<size_t>(end - from));
        for (qsizetype i = from; i < end; ++i)
            slice.push_back({ Node::Kind::Folder, names[i], joinPath(node->path, names[i]) });
        appendChildren(node, slice);
        if (end < names.size()) {
            QMetaObject::invokeMethod(
                this, [this, id, names, end] { applyReading(id, names, end); },
                Qt::QueuedConnection);
            return;
        }
    } else {
        std::vector<Wanted> wanted;
        wanted.reserve(static_cast<size_t>(names.size()));
        for (const QString& name : names)
            wanted.push_back({ Node::Kind::Folder, name, joinPath(node->path, name) });
        mergeChildren(node, wanted);
    }
    node->reading = false;
    if (!node->read) {
        node->read = true;
        watch(node);
        // Its expand mark was a guess; views redraw it only on a new layout.
        if (node->children.empty()) {
            emit layoutAboutToBeChanged();
            emit layoutChanged();
        }
    }
    if (std::exchange(node->readAgain, false))
        startReading(node);
    emit folderRead(indexOf(node));
}

void TFolderTreeModel::appendChildren(Node* parent, const std::vector<Wanted>& wanted)
{
    if (wanted.empty())
        return;
    auto& children = parent->children;
    const int first = static_cast<int>(children.size());
    beginInsertRows(indexOf(parent), first, first + static_cast<int>(wanted.size()) - 1);
    for (const Wanted& w : wanted) {
        children.push_back(makeNode(parent, w));
        children.back()->row = static_cast<int>(children.size()) - 1;
    }
    endInsertRows();
}

void TFolderTreeModel::mergeChildren(Node* parent, const std::vector<Wanted>& wanted)
{
    // Both lists are in display order, so removing what is no longer wanted and inserting
    // what is new, each in runs, turns one into the other with few signals.
    auto& children = parent->children;
    const QModelIndex parentIndex = indexOf(parent);
    const auto renumber = [&children](size_t from) {
        for (size_t k = from; k < children.size(); ++k)
            children[k]->row = static_cast<int>(k);
    };
    const auto removeRows = [&](size_t first, size_t last) {
        beginRemoveRows(parentIndex, static_cast<int>(first), static_cast<int>(last));
        for (size_t k = first; k <= last; ++k)
            forget(children[k].get());
        children.erase(children.begin() + static_cast<std::ptrdiff_t>(first),
            children.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        renumber(first);
        endRemoveRows();
    };

    if (children.empty()) {
        appendChildren(parent, wanted); // a first reading: nothing to compare
        return;
    }

    QSet<QString> wantedPaths;
    wantedPaths.reserve(static_cast<qsizetype>(wanted.size()));
    for (const Wanted& w : wanted)
        wantedPaths.insert(w.path);
    for (size_t end = children.size(); end > 0;) {
        if (wantedPaths.contains(children[end - 1]->path)) {
            --end;
            continue;
        }
        size_t first = end - 1;
        while (first > 0 && !wantedPaths.contains(children[first - 1]->path))
            --first;
        removeRows(first, end - 1);
        end = first;
    }

    QSet<QString> present;
    for (const auto& child : children)
        present.insert(child->path);
    size_t at = 0;
    for (size_t w = 0; w < wanted.size();) {
        if (at < children.size() && children[at]->path == wanted[w].path) {
            ++at, ++w;
            continue;
        }
        if (present.contains(wanted[w].path)) {
            // The order changed (another collation): start over with the wanted list.
            if (!children.empty())
                removeRows(0, children.size() - 1);
            present.clear();
            at = 0;
            w = 0;
            continue;
        }
        size_t end = w;
        while (end < wanted.size() && !present.contains(wanted[end].path))
            ++end;
        beginInsertRows(parentIndex, static_cast<int>(at), static_cast<int>(at + (end - w) - 1));
        std::vector<std::unique_ptr<Node>> fresh;
        fresh.reserve(end - w);
        for (size_t k = w; k < end; ++k)
            fresh.push_back(makeNode(parent, wanted[k]));
        children.insert(children.begin() + static_cast<std::ptrdiff_t>(at),
            std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
        renumber(at);
        endInsertRows();
        at += end - w;
        w = end;
    }
}

void TFolderTreeModel::forget(Node* node)
{
    for (const auto& child : node->children)
        forget(child.get());
    m_nodes.remove(node->id);
    if (!node->read || !node->isFolder())
        return;
    const auto it = m_watched.find(node->path);
    if (it == m_watched.end())
        return;
    it->removeOne(node);
    if (it->isEmpty()) {
        m_watched.erase(it);
        if (!m_mountFolders.contains(node->path))
            m_watcher.removePath(node->path);
    }
}

void TFolderTreeModel::watch(Node* node)
{
    QList<Node*>& nodes = m_watched[node->path];
    // Watched once however often the folder appears (below "/" and as the home folder).
    if (nodes.isEmpty() && !m_mountFolders.contains(node->path))
        m_watcher.addPath(node->path);
    nodes.append(node);
}

void TFolderTreeModel::folderChanged(const QString& path)
{
    if (m_mountFolders.contains(path))
        refreshPlaces();
    for (Node* node : m_watched.value(path)) {
        if (node->reading)
            node->readAgain = true;
        else
            startReading(node);
    }
}

// --- The view ---------------------------------------------------------------------------

TShellTreeView::TShellTreeView(QWidget* parent)
    : QTreeView(parent)
    , m_model(new TFolderTreeModel(this))
{
    setModel(m_model);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(19);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    expand(m_model->computerIndex());
    connect(m_model, &TFolderTreeModel::folderRead, this, [this] {
        if (!m_revealing.isEmpty())
            revealStep();
    });
}

QString TShellTreeView::SelectedFolder() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return {};
    const QString path = m_model->path(selected.first());
    return !path.isEmpty() && KindOfPath(path) == PathKind::Folder ? path : QString();
}

void TShellTreeView::revealFolder(const QString& folder)
{
    m_revealing = QDir::cleanPath(folder);
    if (!m_revealing.startsWith(QLatin1Char('/'))) {
        m_revealing.clear();
        return;
    }
    revealStep();
}

void TShellTreeView::revealStep()
{
    if (m_revealing.isEmpty())
        return;
    const auto within = [this](const QString& path) {
        return path == m_revealing || path == QLatin1String("/")
            || m_revealing.startsWith(path + QLatin1Char('/'));
    };
    // From "Computer" down: at each level the child whose folder holds the target, the
    // longest one where places overlap (the home folder rather than "/").
    QModelIndex at = m_model->computerIndex();
    for (;;) {
        if (m_model->path(at) == m_revealing)
            break;
        if (!m_model->isRead(at)) {
            // Not read yet: the next step comes when it has been.
            setCurrentIndex(at);
            expand(at);
            m_model->fetchMore(at);
            return;
        }
        QModelIndex next;
        for (int row = 0; row < m_model->rowCount(at); ++row) {
            const QModelIndex child = m_model->index(row, 0, at);
            const QString path = m_model->path(child);
            if (within(path) && (!next.isValid() || path.size() > m_model->path(next).size()))
                next = child;
        }
        if (!next.isValid())
            break;
        expand(at);
        at = next;
    }
    m_revealing.clear();
    setCurrentIndex(at);
    scrollTo(at, QAbstractItemView::PositionAtCenter);
}

void TShellTreeView::mousePressEvent(QMouseEvent* event)
{
    // The user takes over: a folder still being revealed is no longer wanted.
    m_revealing.clear();
    const QPoint at = event->position().toPoint();
    const QModelIndex index = indexAt(at);
    if (event->button() == Qt::RightButton) {
        if (index.isValid())
            setCurrentIndex(index);
        event->accept();
        return;
    }
    // Left of an item's text lie its indentation and its expand mark.
    m_pressedOnMark = index.isValid() && at.x() < visualRect(index).x();
    QTreeView::mousePressEvent(event);
}

void TShellTreeView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeView::mouseReleaseEvent(event);
    // Opening a branch is no choice of folder.
    if (event->button() == Qt::LeftButton && !m_pressedOnMark
        && viewport()->rect().contains(event->position().toPoint()))
        emit Click();
}

void TShellTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const QModelIndex index = indexAt(at);
    // Opening a branch by its mark is no choice of folder.
    const bool onItem = index.isValid() && at.x() >= visualRect(index).x();
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && onItem) {
        setCurrentIndex(index);
        emit Chosen();
    }
}

void TShellTreeView::keyPressEvent(QKeyEvent* event)
{
    m_revealing.clear();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (currentIndex().isValid()) {
            emit Chosen();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QTreeView::keyPressEvent(event);
}

void TShellTreeView::showEvent(QShowEvent* event)
{
    QTreeView::showEvent(event);
    m_model->refreshPlaces();
}

} // namespace plumtide
