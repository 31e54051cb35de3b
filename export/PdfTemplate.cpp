#include "export/PdfTemplate.h"

#include "model/Version.h"
#include "render/TemplateImage.h"

#include <cairo-pdf.h>
#include <cairo.h>

namespace {

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::string BuildPdf(const std::vector<const Surface*>& records, const TemplateStyle& style,
                     const std::string& title) {
    std::string pdf;
    cairo_surface_t* surface =
        cairo_pdf_surface_create_for_stream(AppendToString, &pdf, style.width, style.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return {};
    }
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, title.c_str());
    const std::string creator = std::string("Gridwright ") + kGridwrightVersion;
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, creator.c_str());
    cairo_t* cr = cairo_create(surface);
    DrawTemplate(
        cr, style, records,
        {{double(style.width), double(style.height), 0.0, 0.0}, style.width, style.height, true});
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool finished = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return drawn && finished ? pdf : std::string();
}
