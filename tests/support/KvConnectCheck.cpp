// Linked into every test program: a failed string-based connect or call by
// name anywhere in the code fails the running test.
#include <KvConnect.h>

#include <gtest/gtest.h>

namespace {

class ConnectCheck : public ::testing::Environment {
public:
    void SetUp() override
    {
        setKvConnectFailureHandler([](const QString &what) { ADD_FAILURE() << what.toStdString(); });
    }
    void TearDown() override { setKvConnectFailureHandler(KvConnectFailureHandler()); }
};

const ::testing::Environment *const g_check = ::testing::AddGlobalTestEnvironment(new ConnectCheck);

} // namespace
