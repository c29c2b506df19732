// Preloaded (LD_PRELOAD) into the real quillbrook by the end-to-end tray test, so the shipped
// binary carries no test hook. When QUILLBROOK_UI_STATE names a file, it rewrites that file with
// every visible window and widget of the app, their texts and screen rectangles, whenever they
// change. The test reads it to find a button to click with xdotool and to read a label's text.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace {

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

QString textOf(const QWidget *widget)
{
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (const auto *field = qobject_cast<const QLineEdit *>(widget))
        return field->text();
    if (const auto *picker = qobject_cast<const QComboBox *>(widget))
        return picker->currentText();
    return widget->accessibleName();
}

// One line per widget, tab-separated: kind, class, object name, x, y, width, height, text.
QString describe(const QWidget *widget, const char *kind)
{
    const QPoint topLeft = widget->mapToGlobal(QPoint(0, 0));
    QString text = widget->isWindow() ? widget->windowTitle() : textOf(widget);
    return QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\t%8\n")
        .arg(QLatin1String(kind), QLatin1String(widget->metaObject()->className()),
             widget->objectName(), QString::number(topLeft.x()), QString::number(topLeft.y()),
             QString::number(widget->width()), QString::number(widget->height()), oneLine(text));
}

QByteArray snapshot()
{
    QString out;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (!window->isVisible())
            continue;
        out += describe(window, window->windowType() == Qt::Popup ? "popup" : "window");
        const QList<QWidget *> children = window->findChildren<QWidget *>();
        for (const QWidget *child : children) {
            if (child->isVisible())
                out += describe(child, "widget");
        }
    }
    return out.toUtf8();
}

void startProbe()
{
    const QString path = qEnvironmentVariable("QUILLBROOK_UI_STATE");
    if (path.isEmpty() || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    auto *timer = new QTimer(QCoreApplication::instance());
    auto last = std::make_shared<QByteArray>("-");
    QObject::connect(timer, &QTimer::timeout, [path, last] {
        QByteArray now = snapshot();
        if (now == *last)
            return;
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(now) == now.size() && file.commit())
            *last = now;
    });
    timer->start(100);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)
