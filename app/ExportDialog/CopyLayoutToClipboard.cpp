// Copy: the template, styled as the options say, as a picture on the
// clipboard. The dialog stays open, so the same template can be saved too.
#include "app/ExportDialog/ExportDialog.h"
#include "model/Model.h"
#include "platform/Desktop.h"
#include "render/TemplateImage.h"
#include "res/Layouts.h"

#include <QLabel>

#include <cstring>

QImage ExportDialog::TemplatePicture() const {
    const StyledTemplate styled = StyleFor(m_options, m_textures, m_selected);
    const TemplateImage image = DrawTemplateImage(styled.style, styled.surfaces);
    if (image.width == 0)
        return {};
    QImage picture(image.width, image.height, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull())
        return picture;
    for (int y = 0; y < image.height; ++y)
        std::memcpy(picture.scanLine(y), &image.pixels[size_t(y) * size_t(image.width)],
                    size_t(image.width) * 4);
    // An opaque template goes as plain RGB; one with transparency keeps its
    // alpha (the clipboard then offers image/png with an alpha channel).
    return image.opaque ? picture.convertToFormat(QImage::Format_RGB32) : picture;
}

void ExportDialog::CopyLayoutToClipboard() {
    const QImage image = TemplatePicture();
    if (image.isNull()) {
        ShowResourceFailure(this);
        return;
    }
    SetClipboardImage(image);
    m_options.Save();
    m_confirmation = tr("Copied");
    if (auto* summary = qobject_cast<QLabel*>(control("summary")))
        summary->setText(tr("Copied, %1 × %2").arg(image.width()).arg(image.height()));
}
