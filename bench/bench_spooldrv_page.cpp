#include "bench_spooldrv_page.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace benchpage {

const Page& ReferencePage() {
    static const Page page = [] {
        Page p;
        const char* path = std::getenv("QOR_BENCH_PAGE");
        if (!path) path = QOR_BENCH_PAGE;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path)) {
            std::fprintf(stderr, "cannot read the page %s\n", path);
            std::exit(1);
        }
        image.format = PNG_FORMAT_BGR;
        p.width = static_cast<long>(image.width);
        p.height = static_cast<long>(image.height);
        p.bgr.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, p.bgr.data(), 0, nullptr)) std::exit(1);
        // Neutral brightness: the rendering driver's weights, white kept white.
        const size_t stride = (static_cast<size_t>(p.width) + 3) & ~size_t{3};
        p.grey.assign(stride * static_cast<size_t>(p.height), 0xFF);
        for (long y = 0; y < p.height; ++y)
            for (long x = 0; x < p.width; ++x) {
                const uint8_t* px = &p.bgr[(static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x)) * 3];
                if (px[0] == 0xFF && px[1] == 0xFF && px[2] == 0xFF) continue;
                p.grey[static_cast<size_t>(y) * stride + static_cast<size_t>(x)] =
                    static_cast<uint8_t>((21 * px[0] + 69 * px[1] + 10 * px[2]) / 100);
            }
        return p;
    }();
    return page;
}

BITMAPINFO PageBitmapInfo(const Page& page) {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(page.width);
    info.bmiHeader.biHeight = -static_cast<LONG>(page.height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    return info;
}

namespace {

void BM_CopyPage24(benchmark::State& state) {
    const Page& page = ReferencePage();
    std::vector<uint8_t> to(page.bgr.size());
    for (auto _ : state) {
        std::memcpy(to.data(), page.bgr.data(), page.bgr.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyPage24)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace benchpage
