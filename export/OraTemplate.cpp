#include "export/OraTemplate.h"

#include "export/PngTemplate.h"
#include "export/XmlText.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <list>
#include <map>
#include <zip.h>

namespace {

constexpr time_t kEntryTime = 946728000; // 2000-01-01 12:00 UTC

// The merged picture scaled to fit 256 x 256, as the format's thumbnail.
TemplateImage Thumbnail(const TemplateImage& merged) {
    const double scale = std::min(1.0, 256.0 / std::max(merged.width, merged.height));
    TemplateImage small;
    small.width = std::max(1, int(std::lround(merged.width * scale)));
    small.height = std::max(1, int(std::lround(merged.height * scale)));
    small.opaque = merged.opaque;
    small.pixels.assign(size_t(small.width) * size_t(small.height), 0);
    cairo_surface_t* from = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(merged.pixels.data())),
        CAIRO_FORMAT_ARGB32, merged.width, merged.height, merged.width * 4);
    cairo_surface_t* to = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(small.pixels.data()), CAIRO_FORMAT_ARGB32, small.width,
        small.height, small.width * 4);
    cairo_t* cr = cairo_create(to);
    cairo_scale(cr, double(small.width) / merged.width, double(small.height) / merged.height);
    cairo_set_source_surface(cr, from, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(to);
    cairo_surface_destroy(to);
    cairo_surface_destroy(from);
    if (small.opaque) // smoothing keeps full alpha, but say so exactly
        for (uint32_t& p : small.pixels)
            p |= 0xFF000000u;
    return small;
}

} // namespace

std::string EncodeOra(const LayeredTemplate& layered) {
    const TemplateImage& merged = layered.merged;
    // Every entry's bytes, kept until the archive is closed.
    std::list<std::string> contents;
    std::vector<std::pair<std::string, const std::string*>> entries;
    auto add = [&](std::string name, std::string bytes) {
        contents.push_back(std::move(bytes));
        entries.emplace_back(std::move(name), &contents.back());
        return !contents.back().empty();
    };
    add("mimetype", "image/openraster");
    // The stack lists the top layer first.
    std::string stack =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<image version=\"0.0.3\" w=\"" +
        std::to_string(merged.width) + "\" h=\"" + std::to_string(merged.height) + "\">\n<stack>\n";
    // Each layer's picture: named after its kind, numbered when a kind has
    // several (the lines of each run).
    std::map<TemplateLayer, size_t> kinds, seen;
    for (const LayerImage& layer : layered.layers)
        ++kinds[layer.layer];
    std::vector<std::string> sources;
    for (const LayerImage& layer : layered.layers) {
        const size_t number = ++seen[layer.layer];
        sources.push_back("data/" + std::string(LayerName(layer.layer)) +
                          (kinds[layer.layer] > 1 ? "-" + std::to_string(number) : std::string()) +
                          ".png");
    }
    for (size_t i = layered.layers.size(); i-- > 0;) {
        const LayerImage* it = &layered.layers[i];
        const std::string name =
            XmlAttributeText(it->name.empty() ? LayerName(it->layer) : it->name);
        char opacity[32];
        std::snprintf(opacity, sizeof opacity, "%.3f", std::clamp(it->opacity, 0.0, 1.0));
        for (char* c = opacity; *c; ++c)
            if (*c == ',')
                *c = '.';
        stack += "<layer name=\"" + name + "\" src=\"" + sources[i] + "\" x=\"" +
                 std::to_string(it->x) + "\" y=\"" + std::to_string(it->y) + "\" opacity=\"" +
                 opacity + "\" visibility=\"" + (it->visible ? "visible" : "hidden") +
                 "\" composite-op=\"" + (it->multiply ? "svg:multiply" : "svg:src-over") + "\"/>\n";
    }
    stack += "</stack>\n</image>\n";
    add("stack.xml", std::move(stack));
    for (size_t i = 0; i < layered.layers.size(); ++i)
        if (!add(sources[i], EncodePng(layered.layers[i].image)))
            return {};
    if (!add("mergedimage.png", EncodePng(merged)) ||
        !add("Thumbnails/thumbnail.png", EncodePng(Thumbnail(merged))))
        return {};

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer)
        return {};
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    bool ok = archive != nullptr;
    for (size_t i = 0; ok && i < entries.size(); ++i) {
        const std::string& bytes = *entries[i].second;
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        const zip_int64_t index =
            source ? zip_file_add(archive, entries[i].first.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            zip_source_free(source);
            ok = false;
            break;
        }
        // The mimetype is stored, so that it can be read at a fixed place;
        // PNG data gains nothing from deflating again.
        const bool stored = i == 0 || entries[i].first.ends_with(".png");
        ok = zip_set_file_compression(archive, zip_uint64_t(index),
                                      stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0) == 0;
        // One fixed date, so that the same template gives the same bytes.
        ok = ok && zip_file_set_mtime(archive, zip_uint64_t(index), kEntryTime, 0) == 0;
    }
    if (archive) {
        if (!ok)
            zip_discard(archive);
        else if (zip_close(archive) != 0) {
            zip_discard(archive);
            ok = false;
        }
    }
    std::string out;
    if (ok && zip_source_open(buffer) == 0) {
        zip_source_seek(buffer, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(buffer);
        zip_source_seek(buffer, 0, SEEK_SET);
        if (size > 0) {
            out.resize(size_t(size));
            if (zip_source_read(buffer, out.data(), zip_uint64_t(size)) != size)
                out.clear();
        }
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    zip_error_fini(&error);
    return out;
}
