#include "ui/file_icons.h"

#include <QImage>
#include <QTest>

#include <algorithm>

namespace ravelo {

namespace {

// 0, 1 or 2: the channel (red, green, blue) that leads over the picture's
// coloured pixels, the white sign left out.
int LeadingChannel(const QImage& image) {
  long sums[3] = {0, 0, 0};
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.alpha() < 255 || std::min({c.red(), c.green(), c.blue()}) > 200) continue;
      sums[0] += c.red();
      sums[1] += c.green();
      sums[2] += c.blue();
    }
  }
  return static_cast<int>(std::max_element(sums, sums + 3) - sums);
}

}  // namespace

class FileIconsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { EnsureIconTheme(); }

  void filesGetTheirThemeIconByNameAlone() {
    QVERIFY(!QIcon::themeName().isEmpty());
    QVERIFY(QIcon::hasThemeIcon(QStringLiteral("text-html")));
    TFileIcons icons;
    // No such files exist: the name tells the type.
    const QIcon html = icons.FileIcon(QStringLiteral("index.html"));
    QCOMPARE(html.name(), QStringLiteral("text-html"));
    QCOMPARE(icons.FileIcon(QStringLiteral("STYLE.CSS")).name(), QStringLiteral("text-css"));
    QVERIFY(!icons.FileIcon(QStringLiteral("no-extension")).isNull());
    QVERIFY(!icons.FolderIcon().isNull());
    for (const int size : {kSmallIconSize, kLargeIconSize})
      QVERIFY(!html.pixmap(size, size).isNull());
  }

  void statePicturesSitInTheLowerLeft() {
    const struct {
      TStateOverlay overlay;
      int channel;
    } cases[] = {{soFresh, 1}, {soExpired, 0}, {soUnknown, 2}};
    for (const int size : {kSmallIconSize, kLargeIconSize}) {
      QVERIFY(OverlayPixmap(soNone, size).isNull());
      for (const auto& c : cases) {
        const QImage image = OverlayPixmap(c.overlay, size).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        QCOMPARE(image.pixelColor(size - 1, 0).alpha(), 0);  // upper right stays clear
        QCOMPARE(image.pixelColor(qRound(size * 0.3), qRound(size * 0.7)).alpha(), 255);
        QCOMPARE(LeadingChannel(image), c.channel);
      }
      const QImage hourglass = OverlayPixmap(soInProcess, size).toImage();
      QVERIFY(hourglass.pixelColor(qRound(size * 0.3), qRound(size * 0.7)).alpha() > 0);
      QCOMPARE(hourglass.pixelColor(size - 1, 0).alpha(), 0);
    }
  }

  void cutIconsAreFadedButNotTheirPicture() {
    QPixmap solid(kLargeIconSize, kLargeIconSize);
    solid.fill(Qt::black);
    const QImage faded = DecoratedIcon(QIcon(solid), soExpired, true).pixmap(32, 32).toImage();
    QVERIFY(faded.pixelColor(31, 0).alpha() < 160);
    QCOMPARE(LeadingChannel(faded.copy(0, 13, 19, 19)), 0);
  }
};

}  // namespace ravelo

QTEST_MAIN(ravelo::FileIconsTest)
#include "file_icons_test.moc"
