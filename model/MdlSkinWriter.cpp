#include "model/MdlSkinWriter.h"

#include "model/LittleEndian.h"

#include <cstring>

namespace {

constexpr int64_t kHeaderSize = 84;
constexpr int64_t kSkinCountAt = 48, kWidthAt = 52, kHeightAt = 56;

Error Fail(const std::string& path, const std::string& why) {
    return Error{"", path, why};
}

std::string SizeText(int32_t width, int32_t height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

} // namespace

Result<MdlSkinPlaces> FindMdlSkins(const std::string& path, std::span<const uint8_t> bytes) {
    const int64_t size = int64_t(bytes.size());
    if (size < kHeaderSize || std::memcmp(bytes.data(), "IDPO", 4) != 0)
        return Fail(path, "it is not a Quake MDL model (no \"IDPO\" header)");
    MdlSkinPlaces places;
    places.skinCount = DecodeI32(bytes.data() + kSkinCountAt);
    places.width = DecodeI32(bytes.data() + kWidthAt);
    places.height = DecodeI32(bytes.data() + kHeightAt);
    if (places.width <= 0 || places.height <= 0 || places.skinCount < 0)
        return Fail(path, "its header gives its skins a size of " +
                              SizeText(places.width, places.height) + " and a count of " +
                              std::to_string(places.skinCount));
    const int64_t picture = int64_t(places.width) * places.height;
    int64_t at = kHeaderSize;
    auto has = [&](int64_t length) { return length >= 0 && length <= size - at; };
    for (int32_t i = 0; i < places.skinCount; ++i) {
        const std::string label = "skin " + std::to_string(i);
        if (!has(4))
            return Fail(path, label + " is cut short at byte " + std::to_string(at));
        const int32_t type = DecodeI32(bytes.data() + at);
        at += 4;
        int32_t pictures = 1;
        if (type != 0) {
            if (!has(4))
                return Fail(path, label + " is cut short at byte " + std::to_string(at));
            pictures = DecodeI32(bytes.data() + at);
            at += 4;
            if (pictures <= 0 || pictures > (size - at) / (4 + picture))
                return Fail(path, label + " claims a group of " + std::to_string(pictures) +
                                      " pictures that the file cannot hold");
            at += int64_t(pictures) * 4; // their times
        }
        for (int32_t k = 0; k < pictures; ++k) {
            if (!has(picture))
                return Fail(path, label + " is cut short at byte " + std::to_string(at));
            places.pictureAt.push_back(at);
            at += picture;
        }
    }
    places.skinsEnd = at;
    return places;
}

namespace {

// The indices must be one picture of the model's size.
std::string SizeProblem(const MdlSkinPlaces& places, std::span<const uint8_t> indices) {
    if (indices.size() == size_t(places.width) * size_t(places.height))
        return {};
    return "the new picture holds " + std::to_string(indices.size()) +
           " pixels, but the model's skins are " + SizeText(places.width, places.height);
}

} // namespace

Result<std::string> ReplaceMdlPicture(const std::string& path, std::span<const uint8_t> bytes,
                                      int index, std::span<const uint8_t> indices) {
    Result<MdlSkinPlaces> found = FindMdlSkins(path, bytes);
    if (!found.ok())
        return found.error();
    const MdlSkinPlaces& places = found.value();
    if (places.pictureAt.empty())
        return Fail(path, "it holds no skin to replace; add one with --add-skin");
    if (index < 0 || size_t(index) >= places.pictureAt.size())
        return Fail(path, "it has no skin " + std::to_string(index) + "; its skins are 0 to " +
                              std::to_string(places.pictureAt.size() - 1));
    if (const std::string problem = SizeProblem(places, indices); !problem.empty())
        return Fail(path, problem);
    std::string out(bytes.begin(), bytes.end());
    std::memcpy(out.data() + places.pictureAt[size_t(index)], indices.data(), indices.size());
    return out;
}

Result<std::string> AppendMdlSkin(const std::string& path, std::span<const uint8_t> bytes,
                                  std::span<const uint8_t> indices) {
    Result<MdlSkinPlaces> found = FindMdlSkins(path, bytes);
    if (!found.ok())
        return found.error();
    const MdlSkinPlaces& places = found.value();
    if (const std::string problem = SizeProblem(places, indices); !problem.empty())
        return Fail(path, problem);
    if (places.skinCount >= kMaxQuakeSkins)
        return Fail(path, "it holds " + std::to_string(places.skinCount) +
                              " skins already, and Quake's OpenGL engine refuses a model of more "
                              "than " +
                              std::to_string(kMaxQuakeSkins) +
                              "; replace one with --set-skin N instead");
    if (int64_t(bytes.size()) + 4 + int64_t(indices.size()) > INT32_MAX)
        return Fail(path, "with another skin it would pass the 2 GB an MDL model can address");
    std::string out;
    out.reserve(bytes.size() + 4 + indices.size());
    out.append(bytes.begin(), bytes.begin() + places.skinsEnd);
    out.append(4, '\0'); // a single picture, not a group
    out.append(indices.begin(), indices.end());
    out.append(bytes.begin() + places.skinsEnd, bytes.end());
    const uint32_t count = uint32_t(places.skinCount + 1);
    for (int k = 0; k < 4; ++k)
        out[size_t(kSkinCountAt) + size_t(k)] = char((count >> (8 * k)) & 0xFF);
    return out;
}
