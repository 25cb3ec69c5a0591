#include "ui/widgets/query_completer.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QStringListModel>

#include "ui/completion_names.h"

namespace ui {

QueryCompleter::QueryCompleter(QLineEdit* edit, std::function<QStringList()> classNames,
                               PropertiesOf propertiesOf)
    : QObject(edit),
      edit_(edit),
      classNames_(std::move(classNames)),
      propertiesOf_(std::move(propertiesOf)),
      completer_(new QCompleter(this)),
      model_(new QStringListModel(this)) {
    completer_->setObjectName(QStringLiteral("QueryCompletion"));
    completer_->setModel(model_);
    // The list is already the words that fit; the completer only shows it.
    completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setMaxVisibleItems(12);
    // Not the edit's own completer: the text changes only when a name is chosen.
    completer_->setWidget(edit_);
    connect(edit_, &QLineEdit::textEdited, this, [this] { textEdited(); });
    connect(completer_, qOverload<const QString&>(&QCompleter::activated), this,
            [this](const QString& candidate) { activated(candidate); });
}

bool QueryCompleter::popupVisible() const { return completer_->popup()->isVisible(); }

void QueryCompleter::textEdited() {
    const Completion found =
        completionsAt(edit_->text(), edit_->cursorPosition(), classNames_(), propertiesOf_);
    if (found.candidates.isEmpty()) {
        completer_->popup()->hide();
        return;
    }
    start_ = found.start;
    model_->setStringList(found.candidates);
    completer_->complete();
    completer_->popup()->setCurrentIndex(QModelIndex());
}

void QueryCompleter::activated(const QString& candidate) {
    int cursor = 0;
    const QString text =
        applyCompletion(edit_->text(), start_, edit_->cursorPosition(), candidate, &cursor);
    edit_->setText(text);
    edit_->setCursorPosition(cursor);
}

void completeQueries(QComboBox& box, std::shared_ptr<CompletionNames> names) {
    new QueryCompleter(
        box.lineEdit(), [names] { return names->classNames(); },
        [names](const QString& className) { return names->propertiesOf(className); });
}

}  // namespace ui
