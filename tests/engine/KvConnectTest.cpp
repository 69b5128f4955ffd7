// The checked string-based connect and call by name: a wrong signature is
// reported through the handler, never silently ignored.
#include <KvConnect.h>

#include <gtest/gtest.h>

#include <QStringList>
#include <QTimer>

namespace {

// Collects the reports instead of failing the test, for the scope's lifetime.
class CollectedFailures {
public:
    CollectedFailures()
        : m_before(setKvConnectFailureHandler([this](const QString &what) { reports << what; }))
    {
    }
    ~CollectedFailures() { setKvConnectFailureHandler(m_before); }
    QStringList reports;

private:
    KvConnectFailureHandler m_before;
};

TEST(KvConnect, ReportsEveryFailedConnectAndNothingElse)
{
    QTimer timer, other;
    struct Case {
        const QObject *sender;
        const char *signal;
        const QObject *receiver;
        const char *method;
        bool ok;
        const char *reported;
    };
    const Case cases[] = {
        {&timer, SIGNAL(timeout()), &other, SLOT(start()), true, ""},
        {&timer, SIGNAL(timeout()), &other, SIGNAL(timeout()), true, ""},
        {&timer, SIGNAL(timeOut()), &other, SLOT(start()), false, "QTimer::timeOut()"},
        {&timer, SIGNAL(timeout()), &other, SLOT(begin()), false, "QTimer::begin()"},
        {&timer, SIGNAL(timeout()), nullptr, SLOT(start()), false, "(null)::start()"},
    };
    for (const Case &c : cases) {
        CollectedFailures failures;
        EXPECT_EQ(kvConnect(c.sender, c.signal, c.receiver, c.method), c.ok) << c.signal << " " << c.method;
        if (c.ok) {
            EXPECT_TRUE(failures.reports.isEmpty());
        } else {
            ASSERT_EQ(failures.reports.size(), 1);
            EXPECT_TRUE(failures.reports.first().contains(c.reported)) << failures.reports.first().toStdString();
        }
    }
}

TEST(KvConnect, ReportsAFailedCallByName)
{
    QTimer timer;
    CollectedFailures failures;
    EXPECT_TRUE(kvInvoke(&timer, "start", Q_ARG(int, 1000)));
    EXPECT_TRUE(timer.isActive());
    EXPECT_TRUE(kvInvoke(&timer, "stop"));
    EXPECT_TRUE(failures.reports.isEmpty());

    int result = 0;
    EXPECT_FALSE(kvInvoke(&timer, "start", Q_ARG(QString, "x")));
    EXPECT_FALSE(kvInvoke(&timer, "interval", Q_RETURN_ARG(int, result)));  // a property, not an invokable
    EXPECT_FALSE(kvInvoke(nullptr, "stop"));
    ASSERT_EQ(failures.reports.size(), 3);
    EXPECT_TRUE(failures.reports.at(0).contains("QTimer::start"));
    EXPECT_TRUE(failures.reports.at(2).contains("(null)::stop"));
}

} // namespace
