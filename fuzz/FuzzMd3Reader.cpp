// Any bytes as a model file: the reader must refuse or load them, and every
// consumer must then draw what was loaded, without a fault.
#include "export/EpsTemplate.h"
#include "export/SvgTemplate.h"
#include "model/Md3Reader.h"
#include "model/SurfaceStore.h"
#include "render/LayoutRaster.h"
#include "render/TemplateImage.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int ModelFd() {
    static const int fd = memfd_create("fuzz-model", 0);
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = ModelFd();
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    if (!LoadModel("/proc/self/fd/" + std::to_string(fd)).ok)
        return 0;
    const int count = LoadedSurfaceCount();
    for (int i = 0; i < count && i < 4; ++i) {
        const SurfaceRecord& r = g_surfaces[i];
        (void)TextureNameOf(r);
        // The surface's own name as the file name: fuzzed bytes reach the
        // title, which must stay printable PostScript whatever they are.
        const std::string eps = BuildEpsText(&r, 64, 32, NameText(r.name) + ".eps", nullptr);
        for (const char c : eps)
            if (c != '\r' && c != '\n' && (c < 0x20 || c > 0x7E))
                __builtin_trap();
        (void)BuildSvgText(&r, 48, 40);
        // Every drawing path of the engine, wrapped, on whatever coordinates came.
        TemplateStyle style;
        style.width = 40;
        style.height = 24;
        style.antialias = true;
        style.lineWidth = 2.5;
        style.fill = Rgba{0, 0, 255, 64};
        style.overlaps = true;
        (void)DrawTemplateImage(style, {&r});
        (void)BuildSvgText({&r}, style);
        (void)BuildEpsText({&r}, style, "f.eps", nullptr);
        (void)DrawLayoutRaster(&r, 32, 64);
    }
    return 0;
}
