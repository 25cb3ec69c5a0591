#include "ui/widgets/query_strip.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <limits>

#include "ui/widgets/named.h"

namespace ui {

namespace {

constexpr int kStripHeight = 26;

}  // namespace

QueryStrip makeQueryStrip(QWidget* parent, const char* panelName, const char* labelName,
                          const char* comboName, const char* buttonName) {
    QueryStrip strip;
    strip.panel = named(new QWidget(parent), panelName);
    auto* row = new QHBoxLayout(strip.panel);
    row->setContentsMargins(4, 1, 4, 1);
    row->setSpacing(6);
    auto* label = named(new QLabel(QStringLiteral("Query"), strip.panel), labelName);
    strip.combo = named(new QComboBox(strip.panel), comboName);
    strip.combo->setEditable(true);
    strip.combo->setInsertPolicy(QComboBox::NoInsert);
    strip.combo->setCompleter(nullptr);  // the text is run exactly as typed
    // A line edit cuts its text at 32,767 characters by default; a pasted
    // query must reach the service whole.
    strip.combo->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    strip.combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    strip.combo->setMinimumContentsLength(20);
    strip.combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    strip.button = named(new QPushButton(QStringLiteral("Execute"), strip.panel), buttonName);
    row->addWidget(label);
    row->addWidget(strip.combo, 1);
    row->addWidget(strip.button);
    strip.panel->setFixedHeight(std::max(kStripHeight, strip.combo->sizeHint().height() + 2));
    return strip;
}

}  // namespace ui
