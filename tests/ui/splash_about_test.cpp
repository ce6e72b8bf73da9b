// Splash screen, About box and the help window.
#include <gtest/gtest.h>

#include <fstream>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "app/about_dlg.h"
#include "app/help_window.h"
#include "app/resources.h"
#include "app/splash_wnd.h"
#include "ui/support/ui_test_util.h"

namespace kelvt {
namespace {

TEST(Splash, IsCentredOnTheDesktop) {
  struct Case {
    QRect desktop;
    QSize picture;
    QRect expected;
  };
  const Case cases[] = {
      {QRect(0, 0, 1024, 768), QSize(600, 400), QRect(212, 184, 600, 400)},
      {QRect(0, 0, 1920, 1080), QSize(360, 180), QRect(780, 450, 360, 180)},
      {QRect(0, 0, 1025, 769), QSize(600, 400), QRect(212, 184, 600, 400)},  // halves truncate
      {QRect(1920, 0, 1024, 768), QSize(600, 400), QRect(2132, 184, 600, 400)},  // second screen
      {QRect(0, 0, 300, 200), QSize(400, 300), QRect(-50, -50, 400, 300)},  // larger than the screen
  };
  for (const Case& c : cases) EXPECT_EQ(SplashGeometry(c.desktop, c.picture), c.expected);
}

TEST(Splash, ShowsItsPictureAtThePicturesSize) {
  CSplashWnd splash;
  ASSERT_TRUE(splash.HasPicture()) << "the picture is compiled in";
  EXPECT_EQ(splash.PeriodMs(), 2000);
  EXPECT_EQ(splash.size(), QSize(360, 180));
  EXPECT_TRUE(splash.isModal());
  EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
  splash.show();
  EXPECT_TRUE(splash.TimerRunning());
  test::SaveScreenshot(&splash, QStringLiteral("splash"));
}

TEST(Splash, PicturesKeepTheirLogicalSizeOnAnyScreen) {
  struct Case {
    const char* resource;
    qreal screen_ratio;
    QSize pixels;
    QSize logical;
  };
  const Case cases[] = {
      {CSplashWnd::kPicture, 1.0, QSize(360, 180), QSize(360, 180)},
      {CSplashWnd::kPicture, 2.0, QSize(720, 360), QSize(360, 180)},  // the sharp one
      {CSplashWnd::kPicture, 1.5, QSize(720, 360), QSize(360, 180)},
      {":/kelvt/kelvt-48.png", 2.0, QSize(48, 48), QSize(48, 48)},  // no 2x: the plain one
  };
  for (const Case& c : cases) {
    const QPixmap picture = LoadPicture(QString::fromLatin1(c.resource), c.screen_ratio);
    EXPECT_EQ(picture.size(), c.pixels) << c.resource << " at " << c.screen_ratio;
    EXPECT_EQ(picture.deviceIndependentSize().toSize(), c.logical) << c.resource;
  }
  const QIcon icon = AppIcon();
  EXPECT_EQ(icon.availableSizes().size(), 7);
  EXPECT_EQ(icon.pixmap(QSize(256, 256)).size(), QSize(256, 256));
}

TEST(Splash, WithoutAPictureKeepsItsSizeAndStillCloses) {
  CSplashWnd splash(QStringLiteral(":/kelvt/no-such-picture.xpm"), nullptr, 30);
  EXPECT_FALSE(splash.HasPicture());
  const QSize plain = splash.size();
  EXPECT_GT(plain.width(), 100);
  EXPECT_GT(plain.height(), 50);
  QElapsedTimer clock;
  clock.start();
  splash.exec();  // ends by its timer
  EXPECT_GE(clock.elapsed(), 25);
  EXPECT_EQ(splash.size(), plain);
  EXPECT_FALSE(splash.isVisible());
}

TEST(Splash, EnterOrEscapeEndItAtOnce) {
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    CSplashWnd splash;
    QTimer::singleShot(0, &splash, [&splash, key] { QTest::keyClick(&splash, key); });
    QElapsedTimer clock;
    clock.start();
    splash.exec();
    EXPECT_LT(clock.elapsed(), 1500) << key;
    EXPECT_FALSE(splash.isVisible());
  }
}

TEST(Splash, OtherKeysDoNotEndIt) {
  CSplashWnd splash(QString::fromLatin1(CSplashWnd::kPicture), nullptr, 60);
  QTimer::singleShot(0, &splash, [&splash] { QTest::keyClick(&splash, Qt::Key_A); });
  QElapsedTimer clock;
  clock.start();
  splash.exec();
  EXPECT_GE(clock.elapsed(), 55) << "only its timer ended it";
}

TEST(About, ShowsTheVersion) {
  CAboutDlg about;
  auto* version = about.findChild<QLabel*>(QStringLiteral("version"));
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->text(), QStringLiteral("Kelvo-Tarn Version %1").arg(QLatin1String(ProgramVersion())));
  EXPECT_EQ(QString::fromLatin1(ProgramVersion()).section('.', 0, 1), "2.0");
  about.show();
  test::SaveScreenshot(&about, QStringLiteral("about"));
  QTimer::singleShot(0, &about, [&about] { QTest::keyClick(&about, Qt::Key_Return); });
  about.exec();
  EXPECT_FALSE(about.isVisible());
}

TEST(Help, TheGuideOpensAsHtml) {
  HelpWindow help(QStringLiteral(KELVT_SOURCE_DIR "/docs/kelvt.hlp"));
  QTextBrowser* browser = help.Browser();
  const QString text = browser->toPlainText();
  EXPECT_TRUE(text.contains(QStringLiteral("Diagnostics"))) << text.left(200).toStdString();
  EXPECT_FALSE(text.contains(QStringLiteral("<h1"))) << "rendered, not shown as source";
  EXPECT_FALSE(browser->document()->toHtml().isEmpty());
  help.show();
  test::SaveScreenshot(&help, QStringLiteral("help"));
}

TEST(Help, TheGuideIsFoundInTheCurrentFolderFirst) {
  const QStringList candidates = HelpFileCandidates();
  ASSERT_GE(candidates.size(), 1);
  EXPECT_EQ(candidates.front(), "kelvt.hlp");
  test::TempConfigHome folder;
  const QString old_dir = QDir::currentPath();
  QDir::setCurrent(QString::fromStdString(folder.Folder()));
  std::ofstream("kelvt.hlp") << "<html></html>";
  EXPECT_EQ(FindHelpFile(), QString::fromStdString(folder.Folder() + "/kelvt.hlp"));
  QDir::setCurrent(old_dir);
}

}  // namespace
}  // namespace kelvt
