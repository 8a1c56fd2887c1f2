// Compares two screenshots region by region, for the parts of a window that
// are pictures rather than text:
//   picture_diff A.png B.png MEAN MAX X,Y,W,H [X,Y,W,H ...]
// For each region it prints the mean and the largest difference of a colour
// channel; it fails when a region's mean exceeds MEAN, or when more than one
// pixel in a hundred differs by more than MAX. X,Y,W,H~S lets the region sit up
// to S pixels further left or right in B (a glyph beside text of another width).
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s A.png B.png MEAN MAX X,Y,W,H...\n", argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  const QImage a(QString::fromLocal8Bit(argv[1])), b(QString::fromLocal8Bit(argv[2]));
  if (a.isNull() || b.isNull()) {
    std::fprintf(stderr, "cannot read %s\n", a.isNull() ? argv[1] : argv[2]);
    return 2;
  }
  const double meanLimit = std::atof(argv[3]);
  const int maxLimit = std::atoi(argv[4]);
  bool ok = true;
  for (int i = 5; i < argc; ++i) {
    int x, y, w, h, slack = 0;
    const int fields = std::sscanf(argv[i], "%d,%d,%d,%d~%d", &x, &y, &w, &h, &slack);
    if (fields < 4 || x - slack < 0 || y < 0 || x + w + slack > std::min(a.width(), b.width()) ||
        y + h > std::min(a.height(), b.height())) {
      std::fprintf(stderr, "bad region %s\n", argv[i]);
      return 2;
    }
    double mean = 1e9;
    long long beyond = 0;
    int worst = 0;
    for (int dx = -slack; dx <= slack; ++dx) {
      long long total = 0, far = 0;
      int largest = 0;
      for (int py = y; py < y + h; ++py)
        for (int px = x; px < x + w; ++px) {
          const QRgb p = a.pixel(px, py), q = b.pixel(px + dx, py);
          int most = 0;
          for (int d : {std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                        std::abs(qBlue(p) - qBlue(q))}) {
            total += d;
            most = std::max(most, d);
          }
          largest = std::max(largest, most);
          if (most > maxLimit) ++far;
        }
      const double m = double(total) / (3.0 * w * h);
      if (m < mean) mean = m, beyond = far, worst = largest;
    }
    const bool pass = mean <= meanLimit && beyond * 100 <= (long long)w * h;
    std::printf("%-16s mean %.2f, largest %d, %lld of %d pixels beyond %d: %s\n", argv[i], mean,
                worst, beyond, w * h, maxLimit, pass ? "ok" : "DIFFERENT");
    ok = ok && pass;
  }
  return ok ? 0 : 1;
}
