// decode --render's work measured in one run: a typical receipt from bytes to its PNG file,
// against writing a PNG of the same image with Qt alone; then a 64 MiB capture drawn in bounded
// memory. Prints `key value` lines, then the table's rows.
#include "core/Decoder.h"
#include "render/Printer.h"
#include "render/ReceiptFiles.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The CPU this thread used, in ms: steadier than the wall clock on a machine others share.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

long peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray word(int n)
{
    return QByteArray(1, char(n & 0xFF)) + char(n >> 8);
}

// A 512 x 128 logo as GS v 0 prints it.
QByteArray logo()
{
    QByteArray bits;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 64; ++x)
            bits += char((x + y) % 3 ? 0x5A : 0xFF);
    }
    return QByteArray::fromHex("1b6131 1d763000") + word(64) + word(128) + bits;
}

// 60 lines of items and prices, the logo, a QR code and a barcode, then a cut.
QByteArray typicalReceipt()
{
    QByteArray bytes = QByteArray::fromHex("1b40") + logo();
    bytes +=
        QByteArray::fromHex("1d2111") + "CORVANE CAFE\n" + QByteArray::fromHex("1d2100 1b6130");
    for (int i = 0; i < 60; ++i) {
        const QByteArray item = "Item " + QByteArray::number(i + 1) + " of the day";
        const QByteArray price = QByteArray::number(1 + i % 9) + "." + QByteArray::number(10 + i);
        bytes += item + QByteArray(48 - item.size() - price.size(), ' ') + price + "\n";
    }
    const QByteArray url = "https://corvane.example/receipt/240712-0042";
    bytes += QByteArray::fromHex("1b6131 1d6850 1d4802 1d6b49") + char(11) + "{BCV-240712\n";
    bytes += QByteArray::fromHex("1d286b0300314305 1d286b") + word(int(url.size()) + 3) + "1P0" +
             url + QByteArray::fromHex("1d286b0300315130 0a 1b6403 1d564100");
    return bytes;
}

// Bytes to files, as decode --render does, each piece of the capture as next gives it.
int render(const std::function<QByteArray()>& next, const QString& out, QImage* last = nullptr)
{
    ReceiptFiles files(out, 80);
    Render::Printer printer({Render::kPaper80, 1252});
    QString failure;
    printer.onReceipt = [&](const QImage& receipt) {
        files.add(receipt, &failure);
        if (last)
            *last = receipt;
    };
    Decoding::Decoder decoder(1252, Decoding::Keep::Data);
    for (QByteArray piece = next(); !piece.isEmpty(); piece = next()) {
        for (const Decoding::Item& item : decoder.feed(piece))
            printer.feed(item);
    }
    for (const Decoding::Item& item : decoder.finish())
        printer.feed(item);
    printer.finish();
    files.finish(&failure);
    return failure.isEmpty() ? files.count() : -1;
}

int renderOnce(const QByteArray& capture, const QString& out, QImage* last = nullptr)
{
    bool given = false;
    return render([&] { return std::exchange(given, true) ? QByteArray() : capture; }, out, last);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir folder;
    const QByteArray receipt = typicalReceipt();
    QImage drawn;
    renderOnce(receipt, folder.filePath("warm.png"), &drawn); // fonts and libzint loaded once
    std::vector<double> tool, plain;
    for (int run = 0; run < 41; ++run) {
        double start = cpuMs();
        if (renderOnce(receipt, folder.filePath("receipt.png")) != 1)
            return 1;
        tool.push_back(cpuMs() - start);
        start = cpuMs();
        if (!QImageWriter(folder.filePath("plain.png"), "png").write(drawn))
            return 2;
        plain.push_back(cpuMs() - start);
    }

    // 64 MiB of logos and lines with no cut, read a megabyte at a time as from a file: paper
    // over a hundred metres long, drawn in parts.
    QByteArray megabyte;
    const QByteArray block = logo() + "A line of text between the logos\n";
    while (megabyte.size() + block.size() <= 1 << 20)
        megabyte += block;
    int given = 0;
    const long before = peakRssKiB();
    QElapsedTimer clock;
    clock.start();
    const int parts =
        render([&] { return given++ < 64 ? megabyte : QByteArray(); }, folder.filePath("long.png"));
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double growthMiB = double(peakRssKiB() - before) / 1024;
    if (parts < 2)
        return 3;

    const double ratio = median(tool) / median(plain);
    std::printf("render_receipt_ms %.3f\nrender_plain_png_ms %.3f\nrender_capture_s %.2f\n"
                "render_capture_parts %d\nrender_capture_rss_growth_mib %.1f\n",
                median(tool), median(plain), seconds, parts, growthMiB);
    std::printf("| %-34s | %-22s | %-22s | %-9s | %-26s | %-4s |\n",
                "10 receipt bytes to PNG, CPU ms",
                qPrintable(QString::number(median(tool), 'f', 2)),
                qPrintable(QString::number(median(plain), 'f', 2) + " PNG alone"),
                qPrintable(QString::number(ratio, 'f', 2)), "<= 2 x", ratio <= 2 ? "met" : "MISS");
    std::printf("| %-34s | %-22s | %-22s | %-9s | %-26s | %-4s |\n",
                "10 64 MiB capture, peak RSS growth",
                qPrintable(QString::asprintf("%.1f MiB", growthMiB)),
                qPrintable(QString::asprintf("%d parts, %.1f s", parts, seconds)), "-",
                "< 64 MiB (bounded)", growthMiB < 64 ? "met" : "MISS");
    return ratio <= 2 && growthMiB < 64 ? 0 : 1;
}
