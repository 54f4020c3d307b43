#include "picture/jpeg_decoder.h"

#include <QtGlobal>
#include <algorithm>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstring>
#include <exception>
#include <sys/mman.h>

#include <jerror.h>
#include <jpeglib.h>

namespace pictavo {
namespace {

// Opaque 0xffRRGGBB words in native byte order; the ALPHA variants, unlike the X ones,
// promise that the fourth byte is 0xFF.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE kPixelSpace = JCS_EXT_BGRA;
#else
constexpr J_COLOR_SPACE kPixelSpace = JCS_EXT_ARGB;
#endif

constexpr int kRowBatch = 16;

enum class Outcome
{
    Done,
    LibraryError,
    TooLarge,
    TooManyScans,
    CallbackThrew,
};

// Everything libjpeg's callbacks reach. libjpeg leaves a failing call by longjmp
// back into runLibjpeg, so the frames it skips (libjpeg's and our callbacks) hold no
// object with a destructor; this struct lives in the caller's frame, which is never
// skipped.
struct Session
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    Outcome outcome;
    int errorCode;
    char error[JMSG_LENGTH_MAX];
    char firstWarning[JMSG_LENGTH_MAX];
    int warningCount;
    int maxScans;
    int lastPercent;
    const DecodeProgress *callback;
    std::exception_ptr callbackFailure;
};

[[noreturn]] void abandon(Session *s, Outcome outcome)
{
    s->outcome = outcome;
    std::longjmp(s->jump, 1);
}

[[noreturn]] void onError(j_common_ptr cinfo)
{
    auto *s = static_cast<Session *>(cinfo->client_data);
    (*cinfo->err->format_message)(cinfo, s->error);
    s->errorCode = cinfo->err->msg_code;
    abandon(s, Outcome::LibraryError);
}

void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace output, not a warning
    auto *s = static_cast<Session *>(cinfo->client_data);
    if (s->warningCount == 0)
        (*cinfo->err->format_message)(cinfo, s->firstWarning);
    ++s->warningCount;
    ++cinfo->err->num_warnings;
}

// Runs the caller's callback; an exception must not unwind through libjpeg's C frames,
// so it is kept and the decode abandoned instead.
bool notify(Session *s, int percent)
{
    try {
        (*s->callback)(percent);
        return true;
    } catch (...) {
        s->callbackFailure = std::current_exception();
        return false;
    }
}

void onProgress(j_common_ptr cinfo)
{
    auto *s = static_cast<Session *>(cinfo->client_data);
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > s->maxScans)
        abandon(s, Outcome::TooManyScans);
    const jpeg_progress_mgr *p = cinfo->progress;
    if (s->callback == nullptr || p->total_passes <= 0 || p->pass_limit <= 0)
        return;
    // libjpeg guesses the scan count of a multi-scan file and raises pass_limit when it
    // guessed low, so the raw fraction can fall back: only report new highs. 100 is
    // left for the caller to report once the decode has really finished.
    const double pass = std::min(1.0, double(p->pass_counter) / double(p->pass_limit));
    const double done = (p->completed_passes + pass) / p->total_passes;
    const int percent = std::clamp(int(done * 100.0), 0, 99);
    if (percent <= s->lastPercent)
        return;
    s->lastPercent = percent;
    if (!notify(s, percent))
        abandon(s, Outcome::CallbackThrew);
}

// Adobe writes CMYK inverted (0 = full ink) and marks it with its APP14 marker; other
// writers store plain ink amounts. libjpeg hands both over unconverted.
void cmykToPixels(uchar *row, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x) {
        uchar *p = row + 4 * x;
        unsigned c = p[0], m = p[1], y = p[2], k = p[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        const quint32 r = (c * k + 127) / 255;
        const quint32 g = (m * k + 127) / 255;
        const quint32 b = (y * k + 127) / 255;
        const quint32 word = 0xff000000u | (r << 16) | (g << 8) | b;
        std::memcpy(p, &word, sizeof word);
    }
}

struct Request
{
    const QByteArray *jpeg;
    QSize target;
    int scaleEighths; // 0: chosen for the target
    const DecodeLimits *limits;
    bool headerOnly;
    QByteArray *reusablePixels;
};

// Fresh memory comes from the kernel a 4 KiB page at a time, each page a fault when it is
// first written: a 24-megapixel picture takes some 24,000 of them, which cost more than a
// third of the decode. Asked for 2 MiB pages, the same buffer takes a few dozen.
constexpr qsizetype kHugePage = qsizetype(2) * 1024 * 1024;

void adviseHugePages(char *data, qsizetype bytes)
{
    if (bytes < 2 * kHugePage)
        return;
    const auto start =
        (reinterpret_cast<quintptr>(data) + kHugePage - 1) & ~quintptr(kHugePage - 1);
    const auto end =
        (reinterpret_cast<quintptr>(data) + quintptr(bytes)) & ~quintptr(kHugePage - 1);
    if (end > start) // only advice: where the kernel has no such pages it goes on as before
        madvise(reinterpret_cast<void *>(start), end - start, MADV_HUGEPAGE);
}

// The caller's spare buffer when nobody else holds it and it is large enough: its pages
// are in memory already. Otherwise a new one.
QByteArray pixelBuffer(qsizetype bytes, QByteArray *reusable)
{
    if (reusable != nullptr && reusable->isDetached() && reusable->capacity() >= bytes) {
        QByteArray buffer = std::move(*reusable);
        *reusable = QByteArray();
        buffer.resize(bytes);
        return buffer;
    }
    QByteArray buffer(bytes, Qt::Uninitialized);
    adviseHugePages(buffer.data(), bytes);
    return buffer;
}

// The one frame that calls setjmp. Its locals are plain values that are not read after
// a longjmp; results go to `s` and `out`.
Outcome runLibjpeg(Session &s, const Request &req, DecodedPicture &out)
{
    if (setjmp(s.jump))
        return s.outcome;
    jpeg_create_decompress(&s.cinfo);
    s.cinfo.progress = &s.progress;
    s.cinfo.mem->max_memory_to_use = long(req.limits->maxLibraryBytes);
    jpeg_mem_src(&s.cinfo, reinterpret_cast<const unsigned char *>(req.jpeg->constData()),
                 static_cast<unsigned long>(req.jpeg->size()));
    jpeg_read_header(&s.cinfo, TRUE);
    out.fullSize = QSize(int(s.cinfo.image_width), int(s.cinfo.image_height));
    if (req.headerOnly)
        return Outcome::Done;
    if (qint64(s.cinfo.image_width) * s.cinfo.image_height * 4 > req.limits->maxPixelBytes)
        return Outcome::TooLarge;

    const bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
    s.cinfo.out_color_space = cmyk ? JCS_CMYK : kPixelSpace;
    out.scaleEighths = req.scaleEighths > 0 ? req.scaleEighths
                                            : JpegDecoder::chooseScale(out.fullSize, req.target);
    s.cinfo.scale_num = unsigned(out.scaleEighths);
    s.cinfo.scale_denom = 8;
    jpeg_start_decompress(&s.cinfo);

    out.size = QSize(int(s.cinfo.output_width), int(s.cinfo.output_height));
    out.bytesPerLine = qsizetype(s.cinfo.output_width) * 4;
    out.pixels = pixelBuffer(out.bytesPerLine * s.cinfo.output_height, req.reusablePixels);
    auto *base = reinterpret_cast<uchar *>(out.pixels.data());
    const bool inverted = s.cinfo.saw_Adobe_marker;
    JSAMPROW rows[kRowBatch];
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        const JDIMENSION first = s.cinfo.output_scanline;
        const JDIMENSION wanted = std::min<JDIMENSION>(kRowBatch, s.cinfo.output_height - first);
        for (JDIMENSION i = 0; i < wanted; ++i)
            rows[i] = base + qsizetype(first + i) * out.bytesPerLine;
        const JDIMENSION got = jpeg_read_scanlines(&s.cinfo, rows, wanted);
        if (cmyk) {
            for (JDIMENSION i = 0; i < got; ++i)
                cmykToPixels(rows[i], s.cinfo.output_width, inverted);
        }
        if (got == 0)
            break; // only a suspending source returns nothing, and ours never suspends
    }
    jpeg_finish_decompress(&s.cinfo);
    return Outcome::Done;
}

QString tooLargeText(QSize size)
{
    return QStringLiteral("Image is too large to decode: %1 x %2 pixels")
        .arg(size.width())
        .arg(size.height());
}

// Runs libjpeg once and turns its outcome into a result or a DecodeError.
DecodedPicture run(const Request &req, const DecodeProgress *callback, JpegHeader *header)
{
    Session s{};
    s.cinfo.err = jpeg_std_error(&s.err);
    s.cinfo.client_data = &s; // kept by jpeg_create_decompress, which may already fail
    s.err.error_exit = onError;
    s.err.emit_message = onMessage;
    s.progress.progress_monitor = onProgress;
    s.maxScans = req.limits->maxScans;
    s.callback = callback;

    DecodedPicture out;
    Outcome outcome = Outcome::LibraryError;
    try {
        outcome = runLibjpeg(s, req, out);
    } catch (...) {
        jpeg_destroy_decompress(&s.cinfo);
        throw;
    }
    if (header != nullptr) {
        header->size = out.fullSize;
        header->components = s.cinfo.num_components;
        header->progressive = s.cinfo.progressive_mode;
    }
    jpeg_destroy_decompress(&s.cinfo);

    switch (outcome) {
    case Outcome::Done:
        break;
    case Outcome::LibraryError:
        // Without backing store, libjpeg's only answer to its memory bound.
        if (s.errorCode == JERR_NO_BACKING_STORE)
            throw DecodeError(tooLargeText(out.fullSize));
        throw DecodeError(QString::fromLocal8Bit(s.error));
    case Outcome::TooLarge:
        throw DecodeError(tooLargeText(out.fullSize));
    case Outcome::TooManyScans:
        throw DecodeError(QStringLiteral("JPEG file has too many scans (more than %1)")
                              .arg(req.limits->maxScans));
    case Outcome::CallbackThrew:
        std::rethrow_exception(s.callbackFailure);
    }
    out.warningCount = s.warningCount;
    if (s.warningCount > 0)
        out.firstWarning = QString::fromLocal8Bit(s.firstWarning);
    return out;
}

DecodedPicture decodeWithProgress(const Request &request, const DecodeProgress &progress)
{
    const DecodeProgress *callback = progress ? &progress : nullptr;
    if (callback != nullptr)
        progress(0);
    DecodedPicture out = run(request, callback, nullptr);
    if (callback != nullptr)
        progress(100);
    return out;
}

} // namespace

JpegHeader JpegDecoder::probe(const QByteArray &jpeg) const
{
    JpegHeader header;
    run(Request{&jpeg, QSize(), 0, &m_limits, true, nullptr}, nullptr, &header);
    return header;
}

DecodedPicture JpegDecoder::decode(const QByteArray &jpeg, QSize target,
                                   const DecodeProgress &progress, QByteArray *reusablePixels) const
{
    return decodeWithProgress(Request{&jpeg, target, 0, &m_limits, false, reusablePixels},
                              progress);
}

DecodedPicture JpegDecoder::decodeAt(const QByteArray &jpeg, int scaleEighths,
                                     const DecodeProgress &progress,
                                     QByteArray *reusablePixels) const
{
    return decodeWithProgress(
        Request{&jpeg, QSize(), std::clamp(scaleEighths, 1, 8), &m_limits, false, reusablePixels},
        progress);
}

int JpegDecoder::chooseScale(QSize fullSize, QSize target)
{
    if (target.width() <= 0 && target.height() <= 0)
        return 8;
    for (int m = 1; m < 8; ++m) {
        const QSize s = scaledSize(fullSize, m);
        if (s.width() >= target.width() && s.height() >= target.height())
            return m;
    }
    return 8;
}

int JpegDecoder::drawScale(QSize fullSize, QSize target)
{
    const int smallest = chooseScale(fullSize, target);
    return smallest <= 2 ? smallest : smallest <= 4 ? 4 : 8;
}

QSize JpegDecoder::scaledSize(QSize fullSize, int scaleEighths)
{
    const auto scaled = [scaleEighths](int n) { return int((qint64(n) * scaleEighths + 7) / 8); };
    return QSize(scaled(fullSize.width()), scaled(fullSize.height()));
}

} // namespace pictavo
