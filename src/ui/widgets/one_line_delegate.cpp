#include "ui/widgets/one_line_delegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>
#include <algorithm>

namespace ui {

namespace {

constexpr char16_t kReturnMark = u'\u21B5';  // downwards arrow with corner leftwards

// Qt's views hand line feeds on as line separators (U+2028).
bool isBreak(QChar c) {
    return c == u'\r' || c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

bool hasLineBreak(const QString& text) { return std::any_of(text.begin(), text.end(), isBreak); }

}  // namespace

QString OneLineText(const QString& text) {
    if (!hasLineBreak(text)) return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isBreak(c)) {
            // CR LF is one break.
            if (c == u'\r' && i + 1 < text.size() && isBreak(text[i + 1]) && text[i + 1] != u'\r')
                ++i;
            out += QChar(kReturnMark);
        } else {
            out += c;
        }
    }
    return out;
}

void OneLineDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = OneLineText(option->text);
}

bool OneLineDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString text = index.data(Qt::DisplayRole).toString();
    const QString shown = OneLineText(text);
    // The room the text has: the cell less its margins and decoration.
    const int room = option.rect.width() - 8;
    const bool whole = !hasLineBreak(text) && option.fontMetrics.horizontalAdvance(shown) <= room;
    if (text.isEmpty() || whole) {
        QToolTip::hideText();
        return index.data(Qt::ToolTipRole).isValid() &&
               QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    // Shown as plain text, whatever it holds, with its line breaks.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QToolTip::showText(event->globalPos(), Qt::convertFromPlainText(lines, Qt::WhiteSpaceNormal),
                       view->viewport(), option.rect);
    return true;
}

}  // namespace ui
