#include "window/messageboxnotifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

// Messages to the staff on a screen (the minimal platform stands for one).
class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void showsEachMessageOnce();
};

static QList<QMessageBox*> openBoxes()
{
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            boxes.append(box);
    return boxes;
}

void TestMessages::showsEachMessageOnce()
{
    MessageBoxNotifier notifier;
    notifier.notify(u"通信エラー"_s, u"フレームエラー"_s, Notifier::Icon::Warning);
    notifier.notify(u"通信エラー"_s, u"フレームエラー"_s, Notifier::Icon::Warning); // already on screen
    notifier.notify(u"通信エラー"_s, u"受信パリティエラー"_s, Notifier::Icon::Warning);
    QCOMPARE(notifier.openCount(), 2);
    QList<QMessageBox*> boxes = openBoxes();
    QCOMPARE(boxes.size(), 2);
    for (QMessageBox* box : boxes) {
        QVERIFY(!box->isModal());
        QCOMPARE(box->windowTitle(), u"通信エラー"_s);
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        QVERIFY(!box->testAttribute(Qt::WA_QuitOnClose));
    }

    // Once the staff closed it, the same message may come again.
    for (QMessageBox* box : boxes)
        if (box->text() == u"フレームエラー")
            box->close();
    QTRY_COMPARE(notifier.openCount(), 1);
    notifier.notify(u"通信エラー"_s, u"フレームエラー"_s, Notifier::Icon::Warning);
    QCOMPARE(notifier.openCount(), 2);
    notifier.notify(u"Orvane"_s, u"ok"_s, Notifier::Icon::None);
    QCOMPARE(openBoxes().size(), 3);

    // Text from outside is shown as it stands, never as markup.
    notifier.notify(u"Orvane"_s, u"<b>sct.txt</b> を開けません"_s, Notifier::Icon::Warning);
    for (QMessageBox* box : openBoxes())
        QCOMPARE(box->textFormat(), Qt::PlainText);
}

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "minimal");
    QApplication app(argc, argv);
    TestMessages test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_messages.moc"
