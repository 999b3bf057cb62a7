#include "browser/bridgesocket.h"
#include "browser/nativemessaging.h"
#include "channel/extensionsource.h"
#include "support/testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

// The native host's frames and messages, and the bridge's answers to what it hands over.
class TestBrowserHost : public QObject
{
    Q_OBJECT

private slots:
    void readsFramesInAnyPieces();
    void refusesOversizedAndMalformedFrames();
    void turnsAnExtensionMessageIntoARecord();
    void answersStaleAndDone();
    void refusesASocketFolderOthersCanEnter();
    void followsTheBrowsersConnected();
};

void TestBrowserHost::readsFramesInAnyPieces()
{
    const QByteArray stream = nativeFrame({{u"seq"_s, 1}}) + nativeFrame({{u"seq"_s, 2}, {u"v"_s, u"様"_s}});
    NativeFrameReader whole;
    const QList<NativeFrameReader::Frame> atOnce = whole.feed(stream);
    QCOMPARE(atOnce.size(), 2);
    QCOMPARE(atOnce[1]->value(u"v").toString(), u"様"_s);

    NativeFrameReader piecewise;
    QList<NativeFrameReader::Frame> frames;
    for (const char byte : stream)
        frames += piecewise.feed(QByteArray(1, byte));
    QCOMPARE(frames.size(), 2);
    QCOMPARE(*frames[0], *atOnce[0]);
    QCOMPARE(*frames[1], *atOnce[1]);
    // The length is in the machine's byte order (little-endian here).
    QCOMPARE(stream.left(4), QByteArray("\x09\x00\x00\x00", 4)); // {"seq":1}
}

void TestBrowserHost::refusesOversizedAndMalformedFrames()
{
    NativeFrameReader reader;
    const quint32 huge = NativeFrameReader::kMaxFrame + 1;
    QByteArray stream(reinterpret_cast<const char*>(&huge), 4);
    stream += QByteArray(qsizetype(huge), 'x');
    const QByteArray broken = "{\"seq\":";
    const quint32 brokenLength = quint32(broken.size());
    stream += QByteArray(reinterpret_cast<const char*>(&brokenLength), 4) + broken;
    stream += nativeFrame({{u"seq"_s, 3}});
    QList<NativeFrameReader::Frame> frames;
    for (qsizetype at = 0; at < stream.size(); at += 4096) // the oversized frame is passed over in pieces
        frames += reader.feed(stream.mid(at, 4096));
    QCOMPARE(frames.size(), 3);
    QVERIFY(!frames[0] && frames[0].error().contains(u"refused"_s));
    QVERIFY(!frames[1] && frames[1].error().contains(u"JSON"_s));
    QCOMPARE(frames[2]->value(u"seq").toInt(), 3); // and the next one is read as it should be
}

void TestBrowserHost::turnsAnExtensionMessageIntoARecord()
{
    const QJsonObject message = QJsonDocument::fromJson(R"({"id":"w1","seq":7,"setAt":1796724000123,
        "cookie":{"name":"uketsuke","value":"Total12345","domain":".clinic.example","path":"/",
                  "expirationDate":1798761600.0}})")
                                    .object();
    const Result<CookieSet> set = cookieSetFromExtension(message);
    QVERIFY_RESULT(set);
    // The creation time is the time of the set: 1796724000123 ms.
    QCOMPARE(set->record,
             u"uketsuke\nTotal12345\nclinic.example/\n0\n189251584\n31299971\n3810301104\n31295226\n*\n"_s);
    QCOMPARE(set->worker, u"w1"_s);
    QCOMPARE(set->seq, 7);
    QCOMPARE(cookieSetFromBridgeRequest(bridgeRequest(*set))->record, set->record);

    const Result<CookieSet> notASet = cookieSetFromExtension(QJsonObject{{u"seq"_s, 1}});
    QVERIFY(!notASet);
    QVERIFY(notASet.error().contains(u"not a cookie set"_s));
    // The server's HttpOnly cookie (a session) is never a command.
    QJsonObject session = message;
    QJsonObject cookie = session.value(u"cookie"_s).toObject();
    cookie.insert(u"httpOnly"_s, true);
    session.insert(u"cookie"_s, cookie);
    QCOMPARE(cookieSetFromExtension(session).error(), u"an HttpOnly cookie (uketsuke) is no command"_s);
    // The host's side towards the extension.
    QCOMPARE(extensionHello(QJsonObject{{u"hello"_s, u"1.0"_s}}), std::optional<QString>(u"1.0"_s));
    QVERIFY(!extensionHello(message));
    const CommandOutcome refused = CommandOutcome::notCarriedOut(reasons::kBadCommand, u"金額がありません"_s);
    QCOMPARE(extensionAck(7, {BridgeAnswer::Done, refused}),
             nativeFrame({{u"ack"_s, 7},
                          {u"answer"_s, u"done"_s},
                          {u"ok"_s, false},
                          {u"reason"_s, u"bad-command"_s},
                          {u"text"_s, u"金額がありません"_s}}));
    QCOMPARE(browserOfHostArguments({u"chrome-extension://abc/"_s}), u"Chromium"_s);
    QCOMPARE(
        browserOfHostArguments({u"/usr/lib/mozilla/native-messaging-hosts/orvane.bridge.json"_s, u"x@y"_s}),
        u"Firefox"_s);
    for (const BridgeReply& reply : {BridgeReply{BridgeAnswer::Stale, refused},
                                     BridgeReply{BridgeAnswer::CarriedOut, CommandOutcome::carriedOut()}})
        QCOMPARE(answerFromBridge(bridgeAnswer(reply)).value_or(BridgeReply{}), reply);
    QCOMPARE(
        bridgeAnswer({BridgeAnswer::CarriedOut, CommandOutcome::carriedOut()}),
        QByteArray("{\"answer\":\"carried out\",\"ok\":true,\"reason\":null,\"text\":\"実行しました\"}\n"));
    QVERIFY(!answerFromBridge("carried out\n"));
}

void TestBrowserHost::answersStaleAndDone()
{
    QStringList carriedOut;
    ExtensionSource source;
    // The receiver refuses receipts and carries out the rest, and says so before the signal returns.
    const CommandOutcome refused = CommandOutcome::notCarriedOut(reasons::kBadCommand, u"no amount"_s);
    connect(&source, &CommandSource::commandArrived, [&](const std::optional<QString>& record) {
        carriedOut.append(record.value_or(QString()));
        source.commandDone(record->contains(u"rsh") ? refused : CommandOutcome::carriedOut());
    });
    qint64 now = 1'000'000;
    source.setClock([&] { return now; });
    const auto answer = [&](const QString& record, qint64 age, const QString& worker, qint64 seq) {
        return source.take({record, now - age, worker, seq}).answer;
    };
    QCOMPARE(answer(u"a\nwel\n"_s, 500, u"w1"_s, 1), BridgeAnswer::CarriedOut);
    QCOMPARE(answer(u"a\nwel\n"_s, 500, u"w1"_s, 1), BridgeAnswer::Done); // a resend after a reconnect
    QCOMPARE(answer(u"a\nTotal1\n"_s, 500, u"w2"_s, 1), BridgeAnswer::CarriedOut); // another worker
    QTest::ignoreMessage(QtWarningMsg, "a command set 2001 ms ago arrived late and is not carried out");
    const BridgeReply late = source.take({u"a\nTotal2\n"_s, now - 2001, u"w1"_s, 2});
    QCOMPARE(late.answer, BridgeAnswer::Stale);
    QCOMPARE(late.outcome.reason, u"late"_s);
    now -= 1000; // the clock steps back: the same message resent is still late, never carried out
    QCOMPARE(answer(u"a\nTotal2\n"_s, 1001, u"w1"_s, 2), BridgeAnswer::Stale);
    now += 1000;
    QCOMPARE(answer(u"a\nTotal3\n"_s, 2000, u"w1"_s, 3), BridgeAnswer::CarriedOut);
    // A refused receipt is answered as refused, and a resend gets the same outcome without a second run.
    const CookieSet receipt{u"a\nrsh\n"_s, now, u"w1"_s, 4};
    QCOMPARE(source.take(receipt), (BridgeReply{BridgeAnswer::CarriedOut, refused}));
    QCOMPARE(source.take(receipt), (BridgeReply{BridgeAnswer::Done, refused}));
    QCOMPARE(carriedOut, (QStringList{u"a\nwel\n"_s, u"a\nTotal1\n"_s, u"a\nTotal3\n"_s, u"a\nrsh\n"_s}));
}

void TestBrowserHost::refusesASocketFolderOthersCanEnter()
{
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", saved); });
    QVERIFY(!bridgeSocket(CreateFolder::No)); // not there yet, and not made
    QCOMPARE(bridgeSocket(CreateFolder::Yes).value_or(QString()), runtime.path() + u"/orvane/bridge.sock"_s);
    QVERIFY(QFile::setPermissions(runtime.path() + u"/orvane"_s, QFileDevice::Permissions(0x7755)));
    const Result<QString> open = bridgeSocket(CreateFolder::Yes);
    QVERIFY(!open);
    QVERIFY(open.error().contains(u"0700"_s));
}

void TestBrowserHost::followsTheBrowsersConnected()
{
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", saved); });
    QList<QStringList> told;
    auto bridge = std::make_unique<ExtensionSource>();
    const auto listen = [&] {
        connect(bridge.get(), &CommandSource::browsersChanged,
                [&](const QStringList& browsers) { told.append(browsers); });
        return bridge->start().has_value();
    };
    QVERIFY(listen());
    // The host as Chromium starts it: the extension says hello first.
    QProcess host;
    host.start(test::builtProgram(u"orvane-browser-host"_s), {u"chrome-extension://abc/"_s});
    QVERIFY(host.waitForStarted());
    host.write(nativeFrame({{u"hello"_s, u"1.1"_s}}));
    const QStringList chromium{u"Chromium (拡張機能 1.1)"_s};
    QTRY_COMPARE(told, QList<QStringList>{chromium});
    // A bridge started again hears of the browser without a command.
    bridge = std::make_unique<ExtensionSource>();
    QVERIFY(listen());
    QTRY_COMPARE_WITH_TIMEOUT(told, (QList<QStringList>{chromium, chromium}), 5000);
    // A command on that connection leaves the browser connected.
    host.write(nativeFrame({{u"id"_s, u"w1"_s},
                            {u"seq"_s, 1},
                            {u"setAt"_s, QDateTime::currentMSecsSinceEpoch()},
                            {u"cookie"_s, QJsonObject{{u"name"_s, u"uketsuke"_s},
                                                      {u"value"_s, u"wel"_s},
                                                      {u"domain"_s, u"clinic.example"_s},
                                                      {u"path"_s, u"/"_s}}}}));
    QTRY_VERIFY(host.bytesAvailable() > 0); // the acknowledgement
    QTest::qWait(500);                      // a connection that went would have been told by now
    QCOMPARE(told, (QList<QStringList>{chromium, chromium}));
    // The browser closes: its host goes, and so does the browser.
    host.closeWriteChannel();
    QVERIFY(host.waitForFinished(5000));
    QTRY_COMPARE(told, (QList<QStringList>{chromium, chromium, {}}));
}

QTEST_GUILESS_MAIN(TestBrowserHost)
#include "tst_browserhost.moc"
