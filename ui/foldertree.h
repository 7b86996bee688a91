#pragma once

#include <QAbstractItemModel>
#include <QFileSystemWatcher>
#include <QHash>
#include <QIcon>
#include <QTreeView>

#include <memory>
#include <vector>

namespace plumtide
{

// A mounted file system, as the system lists it.
struct TMountedVolume {
    QString rootPath;
    QString fileSystemType;
    QString name; // the volume's label, when it has one
    bool ready = true;
};

// The mounted file systems now.
std::vector<TMountedVolume> MountedVolumes();

// Whether `folder` is the top of a whole file system: "/" or where a volume is mounted.
// Choosing such a folder as the source would sort every mp3 file of the disk.
bool IsFileSystemRoot(const QString& folder, const std::vector<TMountedVolume>& volumes);

// The order of folder names in the tree, as people sort names: case aside, runs of digits
// by their value ("b9" before "b10"). Negative, zero or positive, as a comparison goes.
int CompareFolderNames(const QString& a, const QString& b);

// One child of the tree's "Computer" node.
struct TComputerPlace {
    enum class Kind { Root, Home, Removable, Network };
    Kind kind = Kind::Root;
    QString path;
    QString caption;

    friend bool operator==(const TComputerPlace&, const TComputerPlace&) = default;
};

// What the "Computer" node holds, in this order: the root of the file system, the home
// folder, then each mounted removable volume (below /media, /mnt or /run/media) and each
// network file system, by path. Pseudo file systems, volumes that are not ready and places
// already listed are left out.
std::vector<TComputerPlace> ComputerPlaces(
    const QString& homePath, const std::vector<TMountedVolume>& volumes);

// The folders of the computer as a tree under a virtual "Computer" node, which stands for
// no folder. Folders only, hidden ones (names starting with '.') left out, sorted as people
// sort names (case aside, numbers by value).
//
// A folder's sub-folders are read when the tree first asks for them (expanding it), on a
// worker thread, and arrive in a few large insertions, so that a folder with tens of thousands of
// sub-folders never stalls the window. A folder that has been read is watched: folders that
// appear or disappear there appear and disappear in the tree. The volumes are read again
// when something is mounted below the usual mount folders, and on refreshPlaces().
class TFolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit TFolderTreeModel(QObject* parent = nullptr);
    ~TFolderTreeModel() override;

    QModelIndex computerIndex() const;
    // The folder a node stands for; empty for the "Computer" node and for no node.
    QString path(const QModelIndex& index) const;
    // Whether the node's sub-folders have been read (the "Computer" node's always are).
    bool isRead(const QModelIndex& index) const;
    void refreshPlaces();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The sub-folders of `parent` were read and are in the tree.
    void folderRead(const QModelIndex& parent);

private:
    struct Node;
    struct Wanted;

    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* node) const;
    void startReading(Node* node);
    void applyReading(quint64 id, const QStringList& names, qsizetype from = 0);
    void mergeChildren(Node* parent, const std::vector<Wanted>& wanted);
    void appendChildren(Node* parent, const std::vector<Wanted>& wanted);
    void forget(Node* node);
    void watch(Node* node);
    void folderChanged(const QString& path);
    std::unique_ptr<Node> makeNode(Node* parent, const Wanted& wanted);

    std::unique_ptr<Node> m_top; // the invisible parent of "Computer"
    Node* m_computer = nullptr;
    QHash<quint64, Node*> m_nodes; // by id, so late worker results find their node or none
    QHash<QString, QList<Node*>> m_watched;
    quint64 m_nextId = 1;
    QFileSystemWatcher m_watcher;
    QStringList m_mountFolders;
    QIcon m_folderIcon, m_computerIcon, m_driveIcon, m_homeIcon, m_networkIcon;
};

// The folder tree of the browse panels, after the shell's folder tree: the "Computer" node
// open at the top without a root line, 19 pixels of indentation per level, a right click
// selects the node under the pointer. Chosen() comes only from a double click, Enter or
// Space, so that a window can let a click merely select (passing over "/" on the way to a
// folder then chooses nothing).
class TShellTreeView : public QTreeView
{
    Q_OBJECT
public:
    explicit TShellTreeView(QWidget* parent);

    TFolderTreeModel& folders() const { return *m_model; }
    // The path of the selected node: empty for the "Computer" node, for no selection, and
    // for a folder that no longer exists.
    QString SelectedFolder() const;
    // Opens the tree down to `folder` (an absolute path) and selects it, reading the folders
    // on the way as they are needed; where a part of the way is missing, the deepest folder
    // reached stays selected. A later call takes over from an earlier one.
    void revealFolder(const QString& folder);

signals:
    // A click with the left button anywhere in the tree but on an expand mark (the settings
    // window's tree applies a folder on it).
    void Click();
    // The selected node was chosen: a double click on it, or Enter or Space.
    void Chosen();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // One step further down the way to the folder being revealed.
    void revealStep();

    TFolderTreeModel* m_model;
    QString m_revealing; // the folder being revealed, until it is reached
    bool m_pressedOnMark = false;
};

} // namespace plumtide
