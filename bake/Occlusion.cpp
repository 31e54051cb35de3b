#include "bake/Occlusion.h"

#include "bake/Bvh.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>

namespace {

constexpr size_t kChunk = 256; // samples a thread takes at a time

uint64_t Mix(uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

float UnitFloat(uint64_t bits) {
    return float(bits >> 40) * (1.0f / 16777216.0f); // 24 bits: [0, 1)
}

float RadicalInverse(uint32_t i) {
    i = (i << 16) | (i >> 16);
    i = ((i & 0x55555555u) << 1) | ((i & 0xaaaaaaaau) >> 1);
    i = ((i & 0x33333333u) << 2) | ((i & 0xccccccccu) >> 2);
    i = ((i & 0x0f0f0f0fu) << 4) | ((i & 0xf0f0f0f0u) >> 4);
    i = ((i & 0x00ff00ffu) << 8) | ((i & 0xff00ff00u) >> 8);
    return float(double(i) * (1.0 / 4294967296.0));
}

// One cosine-weighted Hammersley set about +z, shifted once by the seed
// (the same for every sample, so that nearby samples see alike).
std::vector<Vec3> Directions(int rays, uint32_t seed) {
    const float shiftU = UnitFloat(Mix(seed)), shiftV = UnitFloat(Mix(uint64_t(seed) + 0x51ed27));
    std::vector<Vec3> out;
    out.reserve(size_t(rays));
    for (int i = 0; i < rays; ++i) {
        float u = (float(i) + 0.5f) / float(rays) + shiftU;
        float v = RadicalInverse(uint32_t(i)) + shiftV;
        u -= std::floor(u);
        v -= std::floor(v);
        const float r = std::sqrt(u), phi = 6.2831853f * v;
        out.push_back({r * std::cos(phi), r * std::sin(phi), std::sqrt(std::max(0.0f, 1 - u))});
    }
    return out;
}

// Duff et al.'s branchless orthonormal basis about a unit normal.
void Frame(const Vec3& n, Vec3& t, Vec3& b) {
    const float sign = std::copysign(1.0f, n.z);
    const float a = -1 / (sign + n.z), c = n.x * n.y * a;
    t = {1 + sign * n.x * n.x * a, sign * c, -sign * n.x};
    b = {c, sign + n.y * n.y * a, -n.y};
}

bool Finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

OcclusionResult AmbientOcclusion(const std::vector<WorldTriangle>& faces,
                                 const std::vector<OcclusionSample>& samples,
                                 const OcclusionOptions& options) {
    OcclusionResult result;
    result.open.assign(samples.size(), 0.0f);
    result.neverSeen.assign(samples.size(), 1);
    if (samples.empty())
        return result;
    const Bvh bvh(faces);
    const int rays = std::clamp(options.rays, 1, 4096);
    const std::vector<Vec3> directions = Directions(rays, options.seed);
    // A ray begins a little off its face so as not to meet it; nothing beyond
    // the model's box can block it, so rays stop there.
    const Vec3 centre = (bvh.Low() + bvh.High()) * 0.5f;
    // Halved before the difference, which would overflow for a model across
    // the range of floats.
    const float halfSize = bvh.Empty() ? 0 : Length(bvh.High() * 0.5f - bvh.Low() * 0.5f);
    const float offset = std::max(halfSize * 2e-5f, 1e-6f);

    const size_t chunks = (samples.size() + kChunk - 1) / kChunk;
    int threads = options.threads > 0 ? options.threads
                                      : int(std::max(1u, std::thread::hardware_concurrency()));
    threads = int(std::min<size_t>(size_t(std::clamp(threads, 1, 16)), chunks));
    std::atomic<size_t> next{0};
    std::atomic<bool> stopped{false};
    std::mutex progressLock;
    size_t done = 0;

    auto work = [&] {
        for (;;) {
            if (options.cancel && options.cancel->load(std::memory_order_relaxed)) {
                stopped = true;
                return;
            }
            const size_t chunk = next.fetch_add(1);
            if (chunk >= chunks)
                return;
            const size_t begin = chunk * kChunk, end = std::min(samples.size(), begin + kChunk);
            for (size_t k = begin; k < end; ++k) {
                const OcclusionSample& s = samples[k];
                const float length = Length(s.normal);
                // A point or a normal that is not there sees nothing.
                if (!Finite(s.position) || !std::isfinite(length) || !(length > 0))
                    continue;
                const Vec3 n = s.normal * (1 / length);
                Vec3 t, b;
                Frame(n, t, b);
                const Vec3 origin = s.position + n * offset;
                const float reach = Length(origin - centre) + halfSize * 1.01f + offset;
                // Nor does one so far out that its ray's start overflows.
                if (!Finite(origin) || !(reach > 0))
                    continue;
                const Vec3 face = Finite(s.face) ? s.face : Vec3{};
                const size_t share = std::max<size_t>(1, s.share);
                int escaped = 0, cast = 0;
                for (size_t i = s.part % share; i < directions.size(); i += share) {
                    const Vec3& l = directions[i];
                    Vec3 d = t * l.x + b * l.y + n * l.z;
                    if (const float under = Dot(d, face); under < 0)
                        d = d - face * (2 * under);
                    escaped += bvh.Occluded(origin, d, reach) ? 0 : 1;
                    ++cast;
                }
                if (cast == 0)
                    continue;
                result.open[k] = float(escaped) / float(cast);
                result.neverSeen[k] = escaped == 0 ? 1 : 0;
            }
            if (options.progress) {
                const std::lock_guard<std::mutex> lock(progressLock);
                done += end - begin;
                options.progress(double(done) / double(samples.size()));
            }
        }
    };
    std::vector<std::thread> pool;
    for (int i = 1; i < threads; ++i)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();
    result.cancelled = stopped;
    return result;
}
