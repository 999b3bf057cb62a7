#include "support/testsupport.h"
#include "text/result.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace orvane;

namespace {

Result<int> parsed(const QString& text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        return fail(u"not a number: "_s + text);
    return n;
}

Result<int> positive(int n)
{
    if (n <= 0)
        return fail(u"not positive"_s);
    return n;
}

Result<> even(int n)
{
    if (n % 2 != 0)
        return fail(u"odd"_s);
    return {};
}

} // namespace

// The project's one result shape, built twice from this file: on the stand-in (C++20) and on
// std::expected (C++23); both must chain their steps alike.
class TestResult : public QObject
{
    Q_OBJECT

private slots:
    void chainsSteps_data();
    void chainsSteps();
};

void TestResult::chainsSteps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("every step succeeds") << u"42"_s << u"43 even"_s;
    QTest::newRow("the first step fails") << u"x"_s << u"not a number: x"_s;
    QTest::newRow("a later step fails") << u"-4"_s << u"not positive"_s;
    QTest::newRow("a step without a value fails") << u"7"_s << u"odd"_s;
}

void TestResult::chainsSteps()
{
    QFETCH(QString, text);
    QFETCH(QString, outcome);
    const Result<int> number = parsed(text).and_then(positive);
    const Result<QString> said =
        number.and_then(even).transform([&] { return *number + 1; }).transform([](int n) {
            return QString(QString::number(n) + u" even"_s);
        });
    QCOMPARE(said ? *said : said.error(), outcome);
    // A Result<void> transformed by a function without a value stays a Result<void>.
    const Result<> checked = Result<int>(parsed(text)).transform([](int) {});
    QCOMPARE(checked.has_value(), text != u"x");
    QCOMPARE(Result<int>(parsed(text)).value_or(-1), text == u"x" ? -1 : text.toInt());
}

QTEST_APPLESS_MAIN(TestResult)
#include "tst_result.moc"
