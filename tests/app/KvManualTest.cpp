// The manual the build writes next to the program, read as a user reads it:
// its text (through pdftotext) names every command of the menus and every
// key of the window's actions, it has the pages of a manual, and its links
// jump to pages of the file instead of naming addresses nobody can open.
#include <MainWindow.h>

#include <KvTestSupport.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>

namespace {

const QString manualPath = QStringLiteral(KV_MANUAL_PDF);

// The text as pdftotext finds it, with ligatures ("ﬁ") spelled out and all
// white space, line and column breaks included, as single blanks.
QString manualText()
{
    QByteArray out;
    if (kvtest::runProgram("pdftotext", {"-enc", "UTF-8", manualPath, "-"}, &out) != 0)
        return QString();
    return QString::fromUtf8(out).normalized(QString::NormalizationForm_KC).simplified();
}

// What a menu shows: "Ex&port All As..." reads "Export All As...".
QString shown(QString text)
{
    text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    return text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
}

void collectMenu(const QMenu *menu, QStringList *texts)
{
    *texts << shown(menu->title());
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator() || action->text().isEmpty())
            continue;  // the recent-file places are empty until files are opened
        if (action->menu())
            collectMenu(action->menu(), texts);
        else
            *texts << shown(action->text());
    }
}

class ManualTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { text = new QString(manualText()); }
    static void TearDownTestSuite()
    {
        delete text;
        text = nullptr;
    }
    void SetUp() override { ASSERT_FALSE(text->isEmpty()) << "pdftotext could not read " << manualPath.toStdString(); }

    static QString *text;
};

QString *ManualTest::text = nullptr;

TEST_F(ManualTest, NamesEveryMenuCommandAndEveryKeyOfTheWindow)
{
    MainWindow window;
    QStringList commands;
    for (const QAction *entry : window.menuBar()->actions()) {
        if (entry->menu())
            collectMenu(entry->menu(), &commands);
    }
    ASSERT_GT(commands.size(), 60) << "the window's menus were not read";
    for (const QString &command : qAsConst(commands))
        EXPECT_TRUE(text->contains(command)) << "the manual does not name the command " << command.toStdString();

    QSet<QString> keys;
    for (const QAction *action : window.findChildren<QAction *>()) {
        for (const QKeySequence &key : action->shortcuts())
            keys.insert(key.toString(QKeySequence::NativeText));
    }
    ASSERT_GT(keys.size(), 50) << "the window's keys were not read";
    for (const QString &key : qAsConst(keys)) {
        // A key is a word of its own: "Ctrl+E" must not pass on "Ctrl+End".
        const QRegularExpression word(QStringLiteral("(^|\\s)%1(\\s|$)").arg(QRegularExpression::escape(key)));
        EXPECT_TRUE(text->contains(word)) << "the manual does not list the key " << key.toStdString();
    }
}

TEST_F(ManualTest, HasThePagesAndTheTopicsTheProgramPointsAt)
{
    QByteArray info;
    ASSERT_EQ(kvtest::runProgram("pdfinfo", {manualPath}, &info), 0);
    const QRegularExpressionMatch pages = QRegularExpression("Pages:\\s+(\\d+)").match(QString::fromLatin1(info));
    ASSERT_TRUE(pages.hasMatch());
    EXPECT_GE(pages.captured(1).toInt(), 20);

    // The welcome guide promises the manual; Options › Recording names these topics.
    for (const char *topic : {"Contents", "Using another LAME encoder", "The FFmpeg MP3 encoder",
                              "What the program does not do", "1.505 dB"})
        EXPECT_TRUE(text->contains(QLatin1String(topic))) << topic;
    // Paths read as a reader's own, not as the scratch folder the pictures were taken in.
    EXPECT_FALSE(text->contains(QLatin1String("/tmp/"))) << "the manual shows a path under /tmp";
    // Every page but the title page carries its number.
    const int n = pages.captured(1).toInt();
    for (int page = 2; page <= n; ++page)
        EXPECT_TRUE(text->contains(QStringLiteral("Page %1 of %2").arg(page).arg(n))) << "page " << page;
}

// The pages' texts, laid out as on the pages, from one run of pdftotext,
// which ends each page with a form feed; page 1 at 0.
QStringList pageTexts()
{
    QByteArray out;
    kvtest::runProgram("pdftotext", {"-layout", "-enc", "UTF-8", manualPath, "-"}, &out);
    return QString::fromUtf8(out).normalized(QString::NormalizationForm_KC).split(QLatin1Char('\f'));
}

TEST_F(ManualTest, ContentsNameThePagesTheHeadingsAreOn)
{
    // The contents follow the title page: lines of a heading and its page number.
    const QRegularExpression entry("^\\s*(\\S.*\\S)\\s{2,}(\\d+)\\s*$");
    const QStringList pages = pageTexts();
    const auto pageText = [&pages](int page) {
        return page >= 1 && page <= pages.size() ? pages.at(page - 1) : QString();
    };
    QList<QPair<QString, int>> entries;
    for (int page = 2;; ++page) {
        int found = 0;
        for (const QString &line : pageText(page).split('\n')) {
            const QRegularExpressionMatch m = entry.match(line);
            if (m.hasMatch() && !line.contains(QLatin1String("Page "))) {
                entries << qMakePair(m.captured(1).simplified(), m.captured(2).toInt());
                ++found;
            }
        }
        if (found < 5)
            break;
    }
    ASSERT_GT(entries.size(), 40);
    for (const auto &e : qAsConst(entries))
        EXPECT_TRUE(pageText(e.second).simplified().contains(e.first))
            << "\"" << e.first.toStdString() << "\" is not on page " << e.second;
}

TEST_F(ManualTest, LinksJumpToPagesOfTheFile)
{
    const QByteArray pdf = kvtest::readFile(manualPath);
    ASSERT_FALSE(pdf.isEmpty());
    // Every byte: QString::fromLatin1(QByteArray) would stop at the first zero.
    const QString bytes = QString::fromLatin1(pdf.constData(), pdf.size());

    QSet<int> pageObjects;
    const QRegularExpressionMatch kids = QRegularExpression("/Kids\\s*\\[([^\\]]*)\\]").match(bytes);
    ASSERT_TRUE(kids.hasMatch());
    QRegularExpressionMatchIterator ref = QRegularExpression("(\\d+)\\s+0\\s+R").globalMatch(kids.captured(1));
    while (ref.hasNext())
        pageObjects.insert(ref.next().captured(1).toInt());

    // A link inside the file must not be left as an address ("#name").
    EXPECT_FALSE(bytes.contains(QLatin1String("/URI (#")));
    int jumps = 0;
    QRegularExpressionMatchIterator goTo =
        QRegularExpression("/S /GoTo\\s*/D \\[(\\d+) 0 R /XYZ [-\\d.]+ ([-\\d.]+)").globalMatch(bytes);
    while (goTo.hasNext()) {
        const QRegularExpressionMatch m = goTo.next();
        ++jumps;
        EXPECT_TRUE(pageObjects.contains(m.captured(1).toInt())) << "a link to object " << m.captured(1).toStdString();
        const double top = m.captured(2).toDouble();
        EXPECT_TRUE(top > 0 && top <= 842) << "a link to height " << top;
    }
    // The contents alone link each chapter and section, title and page number.
    EXPECT_GT(jumps, 100);
    EXPECT_TRUE(bytes.contains(QLatin1String("/Type /Outlines")));
}

} // namespace
