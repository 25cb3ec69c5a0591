// TNameSpaceForm: shows the namespaces of a host as a tree, built from the
// "__NAMESPACE" instances, and returns the path the user picks. A local host
// is walked whole at once, a remote one a level at a time as nodes expand.
// The tree is kept between uses for the same host and credentials.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "ui/connect_logic.h"
#include "ui/dialogs/modal_runner.h"
#include "wbem/remote_options.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

class Prompts;

class TNameSpaceForm : public QDialog {
    Q_OBJECT

  public:
    // The text of an unexplored child, which gives its parent an expand button.
    static constexpr const char* kPlaceholder = "temp";

    explicit TNameSpaceForm(Prompts& prompts, QWidget* parent = nullptr);

    // The chosen namespace path ("Root\CIMV2"), or empty when nothing was
    // chosen or the root cannot be enumerated (then an error box has told why).
    // Every enumeration of this call connects with the remote options.
    QString ChooseNamespace(const std::string& host, const std::string& user,
                            const std::string& password, bool remote,
                            const wbem::RemoteOptions& options = {});
    // Enumerates the children of the namespace `path` into `node`: eagerly
    // the whole subtree, or one level with a placeholder under each child.
    void AddNamespaceChildren(const std::string& path, QTreeWidgetItem* node, bool eager);
    // A node is expanded: a node not yet enumerated gets its children.
    void TreeView1Expanding(QTreeWidgetItem* node);
    // The node's path from the root, "Root\CIMV2"; empty for no node.
    static QString NodePath(const QTreeWidgetItem* node);
    // Whether an enumeration of the node's children has been started.
    static bool Marked(const QTreeWidgetItem* node);

    ModalRunner Runner;  // empty: exec()

    // What the tree was built for, the password only as a digest: the
    // password itself is held only while ChooseNamespace runs.
    NamespaceTreeKey Built;
    // The answer of the last failed enumeration.
    std::string LastError;

  private:
    int nodeCount() const;

    QTreeWidget* TreeView1 = nullptr;

    std::string password_;
    wbem::RemoteOptions options_;

    Prompts& prompts_;
};

}  // namespace ui
