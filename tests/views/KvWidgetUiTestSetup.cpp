// Linked into test programs that run the program's dialogs: the UI services
// with widgets are installed, as the program's start-up does.
#include <KvWidgetUiServices.h>

#include <gtest/gtest.h>

namespace {

class WidgetUi : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_before = setKvUiServices(nullptr);
        installKvWidgetUiServices();
    }
    void TearDown() override { setKvUiServices(m_before); }

private:
    KvUiServices *m_before = nullptr;
};

const ::testing::Environment *const g_widgetUi = ::testing::AddGlobalTestEnvironment(new WidgetUi);

} // namespace
