#include "ui/dialogs/about.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "app/product.h"
#include "ui/dialogs/prompts.h"
#include "ui/text_codec.h"

// The logo lives in this library's resources, which a static library must
// register itself.
static void initAboutResources() { Q_INIT_RESOURCE(about); }

namespace ui {

namespace {

// A label that reports a left click and may draw its text with a shadow to
// the lower right.
class ClickLabel : public QLabel {
  public:
    ClickLabel(const QString& caption, QWidget* parent, bool shadow = false)
        : QLabel(caption, parent), shadow_(shadow) {}
    std::function<void()> onClick;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
            onClick)
            onClick();
    }
    void paintEvent(QPaintEvent* event) override {
        if (!shadow_ || !pixmap().isNull()) return QLabel::paintEvent(event);
        QPainter painter(this);
        painter.setFont(font());
        const QRect area = contentsRect().adjusted(0, 0, -kShadow, -kShadow);
        painter.setPen(QColor(190, 190, 200));
        painter.drawText(area.translated(kShadow, kShadow), int(alignment()), QLabel::text());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(area, int(alignment()), QLabel::text());
    }
    QSize sizeHint() const override {
        return QLabel::sizeHint() + (shadow_ ? QSize(kShadow, kShadow) : QSize());
    }
    QSize minimumSizeHint() const override {
        return QLabel::minimumSizeHint() + (shadow_ ? QSize(kShadow, kShadow) : QSize());
    }

  private:
    static constexpr int kShadow = 1;  // pixels to the lower right
    bool shadow_;
};

void colour(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

}  // namespace

TAboutBox::TAboutBox(Prompts& prompts, help::UrlOpener opener, QWidget* parent)
    : QDialog(parent), prompts_(prompts), opener_(std::move(opener)) {
    initAboutResources();
    setObjectName(QStringLiteral("TAboutBox"));
    setWindowTitle(QStringLiteral("Cimscope"));
    setAttribute(Qt::WA_DeleteOnClose, false);  // ShowAboutBox owns it
    const QString homePage = fromSystem(product::kHomePageUrl);

    auto* Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);

    auto* icon = new ClickLabel(QString(), Panel1);
    icon->setPixmap(QIcon(QStringLiteral(":/about/logo.svg")).pixmap(QSize(195, 90)));
    icon->setFixedSize(195, 90);
    icon->onClick = [this] { ProgramIconClick(); };
    ProgramIcon = icon;

    auto centred = [Panel1](const QString& caption, const char* name) {
        auto* label = new ClickLabel(caption, Panel1);
        label->setObjectName(QString::fromLatin1(name));
        label->setAlignment(Qt::AlignCenter);
        return label;
    };
    auto link = [&](const QString& caption, const QString& hint, const char* name) {
        ClickLabel* label = centred(caption, name);
        QFont font = label->font();
        font.setUnderline(true);
        label->setFont(font);
        colour(label, Qt::blue);
        label->setCursor(Qt::PointingHandCursor);
        label->setToolTip(hint);
        label->onClick = [this, label] { Label4Click(label); };
        return label;
    };

    ClickLabel* Label1 = centred(QStringLiteral("Cimscope"), "Label1");
    QFont titleFont = Label1->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    Label1->setFont(titleFont);
    ClickLabel* Label2 =
        centred(QStringLiteral("Version: ") + fromSystem(product::kVersion), "Label2");
    ClickLabel* Label4 = link(fromSystem(product::kWebAddress), homePage, "Label4");
    const QString support = fromSystem(product::kSupportEmail);
    ClickLabel* Label5 = link(support, QStringLiteral("mailto:") + support, "Label5");
    const QString sales = fromSystem(product::kSalesEmail);
    ClickLabel* Label6 = link(sales, QStringLiteral("mailto:") + sales, "Label6");

    ClickLabel* rxLabel7 = centred(fromSystem(product::kNoticeLine), "rxLabel7");
    colour(rxLabel7, QColor(0, 0, 128));  // navy

    auto* home = new ClickLabel(QStringLiteral("Home page: ") + homePage, Panel1, true);
    home->setObjectName(QStringLiteral("rxLabel1"));
    QFont homeFont = home->font();
    homeFont.setBold(true);
    home->setFont(homeFont);
    colour(home, QColor(0, 0, 139));  // dark blue
    home->setCursor(Qt::PointingHandCursor);
    home->setToolTip(homePage);
    home->onClick = [this, home] { Label4Click(home); };

    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setCursor(Qt::PointingHandCursor);
    ProgramIcon->setToolTip(homePage);

    auto* BitBtn1 = new QPushButton(QStringLiteral("OK"), Panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);  // Enter; Esc closes a dialog by itself
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(Panel1);
    grid->setContentsMargins(8, 8, 8, 6);
    grid->setVerticalSpacing(1);
    grid->addWidget(ProgramIcon, 0, 0, 5, 1, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(Label1, 0, 1);
    grid->addWidget(Label2, 1, 1);
    grid->addWidget(Label4, 2, 1);
    grid->addWidget(Label5, 3, 1);
    grid->addWidget(Label6, 4, 1);
    grid->addWidget(rxLabel7, 5, 0, 1, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(home, 1, Qt::AlignLeft | Qt::AlignVCenter);
    bottom->addWidget(BitBtn1, 0, Qt::AlignRight);
    grid->addLayout(bottom, 6, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->addWidget(Panel1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &QDialog::reject);

    // Fixed size: the design size, or what the fonts of this system need.
    setFixedSize(sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* where = screen())
        move(where->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void TAboutBox::ProgramIconClick() { openHint(ProgramIcon); }

void TAboutBox::Label4Click(QWidget* sender) { openHint(sender); }

void TAboutBox::closeAfter(uint16_t interval) {
    Timer1->setInterval(interval);
    if (interval > 0) Timer1->start();
}

void TAboutBox::openHint(QWidget* control) {
    if (!control) return;
    if (auto why = help::OpenAddress(opener_, control->toolTip()))
        prompts_.plain(QStringLiteral("Error : ") + QString::fromStdString(*why));
}

void ShowAboutBox(uint16_t interval, Prompts& prompts, const help::UrlOpener& opener,
                  QWidget* parent) {
    TAboutBox box(prompts, opener, parent);
    box.closeAfter(interval);
    box.exec();
}

}  // namespace ui
