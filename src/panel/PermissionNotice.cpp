#include "PermissionNotice.h"

#include "PanelStyle.h"

#include <QAccessibleWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int innerMargin = 8;
constexpr int gap = 6;
constexpr qreal cornerRadius = 6.0;

// An alert, labelled by its title: the title is its child, where Qt looks for labels among the
// siblings only.
class AccessibleNotice : public QAccessibleWidget
{
public:
    explicit AccessibleNotice(QWidget *notice)
        : QAccessibleWidget(notice, QAccessible::AlertMessage)
    {
    }

    QList<QPair<QAccessibleInterface *, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override
    {
        auto found = QAccessibleWidget::relations(match);
        const auto *title = widget()->findChild<QLabel *>(QStringLiteral("noticeTitle"));
        if ((match & QAccessible::Label) && title)
            found.append({QAccessible::queryAccessibleInterface(const_cast<QLabel *>(title)),
                          QAccessible::Label});
        return found;
    }
};

QAccessibleInterface *accessibleNotice(const QString &className, QObject *object)
{
    if (className == QLatin1String("PermissionNotice"))
        return new AccessibleNotice(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

PermissionNotice::PermissionNotice(QWidget *parent)
    : QWidget(parent), m_icon(new QLabel(this)), m_title(new QLabel(tr("Permission denied"), this)),
      m_explanation(new QLabel(tr("Quillbrook cannot read this folder. It may be missing, or its "
                                  "permissions may not allow reading. Choose another folder with "
                                  "\"Change\u2026\" or fix the folder's permissions."),
                               this)),
      m_button(new QPushButton(tr("Open in File Manager"), this))
{
    static const bool accessible = (QAccessible::installFactory(accessibleNotice), true);
    Q_UNUSED(accessible);
    setObjectName(QStringLiteral("permissionNotice"));
    setAccessibleName(m_title->text());
    setAccessibleDescription(m_explanation->text());
    m_title->setObjectName(QStringLiteral("noticeTitle"));
    m_title->setBuddy(this);
    m_explanation->setObjectName(QStringLiteral("noticeExplanation"));
    m_button->setObjectName(QStringLiteral("noticeButton"));
    m_explanation->setWordWrap(true);
    m_explanation->setTextFormat(Qt::PlainText);
    m_title->setTextFormat(Qt::PlainText);

    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(0, 0, 0, 0);
    titleRow->setSpacing(gap);
    titleRow->addWidget(m_icon, 0, Qt::AlignVCenter);
    titleRow->addWidget(m_title, 0, Qt::AlignVCenter);
    titleRow->addStretch(1);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(innerMargin, innerMargin, innerMargin, innerMargin);
    column->setSpacing(gap);
    column->addLayout(titleRow);
    column->addWidget(m_explanation);
    column->addWidget(m_button, 0, Qt::AlignLeft);

    // Also what tells a screen reader that the button is the notice's controller.
    connect(m_button, &QPushButton::clicked, this, &PermissionNotice::openInFileManagerClicked);
    restyle();
}

void PermissionNotice::restyle()
{
    const QFont caption = PanelStyle::captionFont(font());
    QFont title = caption;
    title.setWeight(QFont::DemiBold);
    m_title->setFont(title);
    m_explanation->setFont(caption);
    PanelStyle::setTextColor(
        m_explanation,
        PanelStyle::secondaryColor(palette(), PanelStyle::noticeBackground(palette())));
    m_button->setFont(PanelStyle::smallControlFont(font()));

    const int iconSize = QFontMetrics(caption).height();
    m_icon->setPixmap(PanelStyle::tintedPixmap(QStringLiteral("dialog-warning"), iconSize,
                                               PanelStyle::orangeColor(palette()), this));
    m_icon->setFixedSize(iconSize, iconSize);
    update();
}

void PermissionNotice::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Its own change, not the panel's: a parent hears of a new palette before its children
    // have it.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        restyle();
}

void PermissionNotice::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(box, PanelStyle::noticeBackground(palette()));
    painter.end();
    PanelStyle::paintFocusRing(this);
}
