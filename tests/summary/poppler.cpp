#include "tests/summary/poppler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <QImage>

namespace poppler {

static std::string output(const std::string &command)
{
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    char buf[4096];
    std::size_t n;
    while (p && (n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    EXPECT_EQ(p ? pclose(p) : -1, 0) << command;
    return out;
}

std::string text(const std::string &pdf)
{
    std::string text;
    for (const char c : output("pdftotext -layout '" + pdf + "' -"))
        if (c != ' ' || text.empty() || text.back() != ' ')
            text += c;
    // The typesetter's ligatures, as the letters they join.
    for (const auto &[joined, letters] : {std::pair{"\uFB00", "ff"}, std::pair{"\uFB01", "fi"}, std::pair{"\uFB02", "fl"}})
        for (std::size_t at; (at = text.find(joined)) != std::string::npos;)
            text.replace(at, std::strlen(joined), letters);
    return text;
}

std::string pageSize(const std::string &pdf)
{
    const std::string info = output("pdfinfo '" + pdf + "'");
    const std::size_t at = info.find("Page size:");
    const std::size_t open = info.find('(', at), close = info.find(')', open);
    return at == std::string::npos || close == std::string::npos ? "" : info.substr(open + 1, close - open - 1);
}

void firstPage(const std::string &pdf, const std::string &png)
{
    output("pdftoppm -r 100 -png -singlefile -f 1 -l 1 '" + pdf + "' '" + png + "'");
}

int pixelsNear(const std::string &pdf, int colour)
{
    const std::string png = pdf + "-page";
    firstPage(pdf, png);
    const QImage page(QString::fromStdString(png + ".png"));
    std::remove((png + ".png").c_str());
    const int r = colour >> 16 & 0xff, g = colour >> 8 & 0xff, b = colour & 0xff;
    int near = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QRgb p = page.pixel(x, y);
            near += std::abs(qRed(p) - r) + std::abs(qGreen(p) - g) + std::abs(qBlue(p) - b) < 60;
        }
    return near;
}

}  // namespace poppler
