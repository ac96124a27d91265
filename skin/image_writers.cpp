#include "image_writers.h"

#include <cstring>
#include <fstream>
#include <map>

namespace skin {

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// 6x6x6 colour cube plus 40 greys: enough for soft gradients without a quantiser.
std::vector<QRgb> fixedPalette()
{
    std::vector<QRgb> palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                palette.push_back(qRgb(r * 51, g * 51, b * 51));
    for (int i = 0; i < 40; ++i)
        palette.push_back(qRgb(i * 255 / 39, i * 255 / 39, i * 255 / 39));
    return palette;
}

int nearest(const std::vector<QRgb>& palette, QRgb c)
{
    int best = 0;
    long bestDistance = 1L << 30;
    for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
        const long dr = qRed(c) - qRed(palette[i]), dg = qGreen(c) - qGreen(palette[i]), db = qBlue(c) - qBlue(palette[i]);
        const long d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

// Variable-width LZW of GIF, minimum code size 8.
std::vector<std::uint8_t> lzw(const std::vector<std::uint8_t>& indices)
{
    const int clear = 256, end = 257;
    std::vector<std::uint8_t> bytes;
    std::uint32_t bitBuffer = 0;
    int bitCount = 0;
    int codeSize = 9;
    auto putCode = [&](int code) {
        bitBuffer |= static_cast<std::uint32_t>(code) << bitCount;
        bitCount += codeSize;
        while (bitCount >= 8) {
            bytes.push_back(bitBuffer & 0xFF);
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    std::map<std::pair<int, int>, int> table;
    int next = 258;
    putCode(clear);
    int prefix = -1;
    for (std::uint8_t k : indices) {
        if (prefix < 0) {
            prefix = k;
            continue;
        }
        auto found = table.find({prefix, k});
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        putCode(prefix);
        if (next < 4096) {
            table[{prefix, k}] = next++;
            if (next > (1 << codeSize) && codeSize < 12)
                ++codeSize;
        } else {
            putCode(clear);
            table.clear();
            next = 258;
            codeSize = 9;
        }
        prefix = k;
    }
    if (prefix >= 0)
        putCode(prefix);
    putCode(end);
    if (bitCount > 0)
        bytes.push_back(bitBuffer & 0xFF);
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> encodeBmp24(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    const int stride = (w * 3 + 3) & ~3;
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + stride * h);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, w);
    put32(out, h);
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, stride * h);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = h - 1; y >= 0; --y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            out.push_back(qBlue(row[x]));
            out.push_back(qGreen(row[x]));
            out.push_back(qRed(row[x]));
        }
        for (int pad = w * 3; pad < stride; ++pad)
            out.push_back(0);
    }
    return out;
}

std::vector<std::uint8_t> encodeGif(const std::vector<QImage>& frames, int delayCentiseconds)
{
    const std::vector<QRgb> palette = fixedPalette();
    const int w = frames.front().width(), h = frames.front().height();
    std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    put16(out, w);
    put16(out, h);
    out.push_back(0xF7);  // global table of 256 entries
    out.push_back(0);
    out.push_back(0);
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < static_cast<int>(palette.size()) ? palette[i] : qRgb(0, 0, 0);
        out.push_back(qRed(c));
        out.push_back(qGreen(c));
        out.push_back(qBlue(c));
    }
    const std::uint8_t loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01, 0x00, 0x00, 0x00};
    out.insert(out.end(), std::begin(loop), std::end(loop));
    std::map<QRgb, int> cache;
    for (const QImage& frame : frames) {
        const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x00});
        put16(out, delayCentiseconds);
        out.insert(out.end(), {0x00, 0x00});
        out.push_back(0x2C);
        put16(out, 0);
        put16(out, 0);
        put16(out, w);
        put16(out, h);
        out.push_back(0);
        std::vector<std::uint8_t> indices;
        for (int y = 0; y < h; ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                const QRgb c = row[x] | 0xFF000000u;
                auto found = cache.find(c);
                if (found == cache.end())
                    found = cache.emplace(c, nearest(palette, c)).first;
                indices.push_back(static_cast<std::uint8_t>(found->second));
            }
        }
        out.push_back(8);
        const std::vector<std::uint8_t> data = lzw(indices);
        for (std::size_t i = 0; i < data.size(); i += 255) {
            const std::size_t n = std::min<std::size_t>(255, data.size() - i);
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), data.begin() + i, data.begin() + i + n);
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

std::vector<std::uint8_t> encodeWav16(const std::vector<std::int16_t>& samples, int sampleRate, int channels)
{
    std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F'};
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    put32(out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1);
    put16(out, channels);
    put32(out, sampleRate);
    put32(out, sampleRate * channels * 2);
    put16(out, channels * 2);
    put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, dataBytes);
    for (std::int16_t s : samples)
        put16(out, static_cast<std::uint16_t>(s));
    return out;
}

std::vector<std::uint8_t> encodeLampContainer(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& members)
{
    std::vector<std::uint8_t> out;
    put32(out, static_cast<std::uint32_t>(members.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(4 + 40 * members.size());
    for (const auto& [name, bytes] : members) {
        char field[32] = {};
        std::strncpy(field, name.c_str(), sizeof field - 1);
        out.insert(out.end(), field, field + 32);
        put32(out, offset);
        put32(out, static_cast<std::uint32_t>(bytes.size()));
        offset += static_cast<std::uint32_t>(bytes.size());
    }
    for (const auto& member : members)
        out.insert(out.end(), member.second.begin(), member.second.end());
    return out;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace skin
