#include "picture/jpeg_encoder.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>

#include <jpeglib.h>

namespace pictavo {
namespace {

// As the pixels of DecodedPicture lie in memory: 0xffRRGGBB words in native order.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE kPixelSpace = JCS_EXT_BGRX;
#else
constexpr J_COLOR_SPACE kPixelSpace = JCS_EXT_XRGB;
#endif

struct Session
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    std::jmp_buf jump;
    unsigned char *out;
    unsigned long outSize;
};

[[noreturn]] void onError(j_common_ptr cinfo)
{
    std::longjmp(static_cast<Session *>(cinfo->client_data)->jump, 1);
}

void onMessage(j_common_ptr, int) {}

// The one frame that calls setjmp; nothing in it has a destructor.
bool compress(Session &s, const DecodedPicture &picture, int quality)
{
    if (setjmp(s.jump))
        return false;
    jpeg_create_compress(&s.cinfo);
    jpeg_mem_dest(&s.cinfo, &s.out, &s.outSize);
    s.cinfo.image_width = JDIMENSION(picture.size.width());
    s.cinfo.image_height = JDIMENSION(picture.size.height());
    s.cinfo.input_components = 4;
    s.cinfo.in_color_space = kPixelSpace;
    jpeg_set_defaults(&s.cinfo);
    jpeg_set_quality(&s.cinfo, quality, TRUE);
    s.cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&s.cinfo, TRUE);
    while (s.cinfo.next_scanline < s.cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.scanLine(int(s.cinfo.next_scanline)));
        jpeg_write_scanlines(&s.cinfo, &row, 1);
    }
    jpeg_finish_compress(&s.cinfo);
    return true;
}

} // namespace

QByteArray encodeJpeg(const DecodedPicture &picture, int quality)
{
    if (picture.isNull() || picture.size.isEmpty())
        return QByteArray();
    Session s{};
    s.cinfo.err = jpeg_std_error(&s.err);
    s.cinfo.client_data = &s;
    s.err.error_exit = onError;
    s.err.emit_message = onMessage;
    const bool ok = compress(s, picture, quality);
    jpeg_destroy_compress(&s.cinfo);
    QByteArray bytes;
    if (ok && s.out != nullptr)
        bytes = QByteArray(reinterpret_cast<const char *>(s.out), qsizetype(s.outSize));
    std::free(s.out); // jpeg_mem_dest's buffer is the caller's to free
    return bytes;
}

} // namespace pictavo
