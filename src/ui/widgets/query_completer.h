// The query box's completion: after each edit the user makes, the names that
// fit the word at the cursor (query_completion.h) pop up under the box
// (QueryCompletion, a QCompleter); choosing one replaces the word. The names
// come from the caller, who keeps them: nothing is read here.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

#include "ui/query_completion.h"

class QComboBox;
class QCompleter;
class QLineEdit;
class QStringListModel;

namespace ui {

class CompletionNames;

class QueryCompleter : public QObject {
    Q_OBJECT

  public:
    // `classNames` and `propertiesOf` are asked after each edit; they must
    // answer from what is already known.
    QueryCompleter(QLineEdit* edit, std::function<QStringList()> classNames,
                   PropertiesOf propertiesOf);

    bool popupVisible() const;

  private:
    void textEdited();
    void activated(const QString& candidate);

    QLineEdit* edit_;
    std::function<QStringList()> classNames_;
    PropertiesOf propertiesOf_;
    QCompleter* completer_;
    QStringListModel* model_;
    int start_ = 0;  // of the word the shown candidates complete
};

// The editable combo box completes from the names, which it keeps alive.
void completeQueries(QComboBox& box, std::shared_ptr<CompletionNames> names);

}  // namespace ui
