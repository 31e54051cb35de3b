// Any bytes as a model file: the reader must refuse or load them, and every
// consumer must then draw what was loaded, without a fault.
#include "EpsTemplate.h"
#include "LayoutRaster.h"
#include "Md3Reader.h"
#include "SurfaceStore.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

struct FuzzView : ModelLoadView {
    void AppendSurfaceName(const std::string& name) override { names += name.size(); }
    void ShowLoadFailure(const std::string& reason) override { failed = !reason.empty(); }
    size_t names = 0;
    bool failed = false;
};

int ModelFd() {
    static const int fd = memfd_create("fuzz-model", 0);
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = ModelFd();
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    g_modelPath = "/proc/self/fd/" + std::to_string(fd);
    FuzzView view;
    LoadModel(g_modelPath, view);
    if (view.failed)
        return 0;
    const int count = std::clamp(g_surfaceCount, 0, kMaxSurfaces);
    for (int i = 0; i < count && i < 4; ++i) {
        const SurfaceRecord& r = g_surfaces[i];
        (void)TextureNameOf(r);
        (void)BuildEpsText(&r, 64, 32, "f.eps", nullptr);
        (void)DrawLayoutRaster(&r, 32, 64);
    }
    return 0;
}
