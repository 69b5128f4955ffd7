// Days of use and the rate prompt the controller offers after an export or a
// conversion: every three days of use at the most, never once turned off, never in
// the edit mode; the help flags are written in every case.
#include "KvQmlController.h"

#include "KvFakeUiServices.h"

#include <KvClock.h>

#include <gtest/gtest.h>

#include <QSettings>

namespace {

class DayClock : public KvClock {
public:
    QDate day{2024, 3, 1};
    qint64 elapsedMs() const override { return 0; }
    QDateTime now() const override { return QDateTime(day, QTime(12, 0)); }
};

struct Offer : ::testing::Test {
    Offer() { QSettings().clear(); }
    kvtest::FakeUiServices ui;
    DayClock clock;
    KvQmlController controller{nullptr, KvControllerSeams{&ui, &clock}};
    int days() const { return QSettings().value("Settings/TotalDaysUsed").toInt(); }
};

} // namespace

TEST_F(Offer, DaysOfUseCountEachDayOnce)
{
    EXPECT_EQ(KvQmlController::UpdateTotalDaysUsed(), 1);
    EXPECT_EQ(KvQmlController::UpdateTotalDaysUsed(), 1);
    EXPECT_EQ(QSettings().value("Settings/LastDayUsed").toString(), "2024-03-01");
    clock.day = clock.day.addDays(5);  // days without use count nothing
    EXPECT_EQ(KvQmlController::UpdateTotalDaysUsed(), 2);
    EXPECT_EQ(QSettings().value("Settings/LastDayUsed").toString(), "2024-03-06");
}

TEST_F(Offer, EveryThreeDaysOfUseUntilTurnedOff)
{
    // The prompt, once closed, records the days of use it was closed on.
    ui.dialogResult = 0;
    controller.afterExportOrConvert(true, false);  // day 1 >= 0 + 3? no
    EXPECT_TRUE(ui.dialogs.isEmpty());
    EXPECT_TRUE(QSettings().value("HelpUsage/ExportDone").toBool());
    EXPECT_FALSE(QSettings().contains("HelpUsage/ConvertDone"));
    for (int day = 2; day <= 3; ++day) {
        clock.day = clock.day.addDays(1);
        controller.afterExportOrConvert(false, true);
    }
    EXPECT_EQ(days(), 3);
    EXPECT_EQ(ui.dialogs, QStringList{"rateApp"});
    EXPECT_EQ(ui.rateAppAutomatic, QList<bool>{true});
    EXPECT_TRUE(QSettings().value("HelpUsage/ConvertDone").toBool());

    QSettings().setValue("Warnings/LastShowOnDaysUsed", 3);
    for (int day = 4; day <= 6; ++day) {
        clock.day = clock.day.addDays(1);
        controller.afterExportOrConvert(true, false);
        EXPECT_EQ(ui.dialogs.size(), day < 6 ? 1 : 2) << day;
    }

    QSettings().setValue("Warnings/ShowRateAppDlg2022-01-12", false);
    clock.day = clock.day.addDays(10);
    controller.afterExportOrConvert(true, false);
    EXPECT_EQ(ui.dialogs.size(), 2);
}

TEST_F(Offer, NeverInTheEditMode)
{
    controller.setIsActionEditMode(true);
    QSettings().setValue("Settings/TotalDaysUsed", 10);
    controller.afterExportOrConvert(true, true);
    EXPECT_TRUE(ui.dialogs.isEmpty());
    EXPECT_TRUE(QSettings().value("HelpUsage/ExportDone").toBool());
    EXPECT_TRUE(QSettings().value("HelpUsage/ConvertDone").toBool());
}
