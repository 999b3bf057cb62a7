#include "window/messageboxnotifier.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

namespace orvane {

MessageBoxNotifier::MessageBoxNotifier(QObject* parent) : QObject(parent) {}

void MessageBoxNotifier::notify(const QString& title, const QString& text, Icon icon)
{
    if (QGuiApplication::platformName() == u"offscreen") {
        std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
        std::fflush(stderr);
        return;
    }
    const QString key = title + u'\n' + text;
    if (m_open.contains(key))
        return;
    const QMessageBox::Icon boxIcon = icon == Icon::Critical      ? QMessageBox::Critical
                                      : icon == Icon::Warning     ? QMessageBox::Warning
                                      : icon == Icon::Information ? QMessageBox::Information
                                                                  : QMessageBox::NoIcon;
    auto* box = new QMessageBox(boxIcon, title, text, QMessageBox::Ok);
    // Messages quote text from outside (file names, command lines, settings): never markup.
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Closing the bridge's window ends the program, whatever messages are still open.
    box->setAttribute(Qt::WA_QuitOnClose, false);
    box->setModal(false);
    m_open.insert(key, box);
    connect(box, &QObject::destroyed, this, [this, key] { m_open.remove(key); });
    box->show();
}

void MessageBoxNotifier::withdraw(const QString& title)
{
    const QString prefix = title + u'\n';
    for (auto it = m_open.cbegin(); it != m_open.cend(); ++it)
        if (it.key().startsWith(prefix) && it.value())
            it.value()->close(); // deleted on close; its entry goes with it
}

} // namespace orvane
