#include "Mp3FrameDecoder.h"

#include "core/Errors.h"
#include "core/FrameHeader.h"

#include <mpg123.h>
#include <mutex>

namespace zefrin {

namespace {

void InitialiseLibraryOnce()
{
    // Required before libmpg123 1.27, harmless after it.
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

} // namespace

struct Mp3FrameDecoder::Impl
{
    mpg123_handle* Handle = nullptr;
    uint32_t SampleRate = 0;
};

Mp3FrameDecoder::Mp3FrameDecoder()
    : m_impl(std::make_unique<Impl>())
{
}

Mp3FrameDecoder::~Mp3FrameDecoder()
{
    Close();
}

void Mp3FrameDecoder::Open(uint32_t sampleRate, int channels, const MessageTexts& texts)
{
    Close();
    InitialiseLibraryOnce();
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (handle == nullptr)
        throw Error(JoinMessageLines(texts.MessageDlgAcmStreamOpenFailed));
    // Whole frames are fed, so the parser need not read ahead to confirm a header, and the
    // first frame's output comes at once. Gapless trimming, the info frame and resampling
    // are left out: the analysis wants every sample of every frame it feeds, at the
    // stream's own rate.
    const long flags = MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD;
    const bool ready =
        (channels == 1 || channels == 2) &&
        mpg123_param(handle, MPG123_FLAGS, flags, 0.0) == MPG123_OK &&
        mpg123_format_none(handle) == MPG123_OK &&
        mpg123_format(handle, long(sampleRate), channels == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) == MPG123_OK &&
        mpg123_open_feed(handle) == MPG123_OK;
    if (!ready) {
        mpg123_delete(handle);
        throw Error(JoinMessageLines(texts.MessageDlgAcmStreamOpenFailed));
    }
    m_impl->Handle = handle;
    m_impl->SampleRate = sampleRate;
}

uint32_t Mp3FrameDecoder::Convert(const uint8_t* frame, uint32_t length, uint8_t* out,
                                  uint32_t outCapacityBytes, uint32_t* sourceUsed,
                                  uint32_t* destUsed)
{
    *sourceUsed = 0;
    *destUsed = 0;
    if (m_impl->Handle == nullptr)
        return LibraryFailureBase + MPG123_BAD_HANDLE;

    FrameHeader header;
    const uint32_t raw = length >= 4 ? LoadHeaderWord(frame) : 0;
    if ((raw & SyncMask) != SyncMask || !DecodeFrameHeader(header, raw) ||
        header.FrameLength != length || header.SampleRate != m_impl->SampleRate) {
        *sourceUsed = length;
        return ConvertImpossible;
    }

    mpg123_handle* handle = m_impl->Handle;
    if (mpg123_feed(handle, frame, length) != MPG123_OK)
        return LibraryFailureBase + uint32_t(mpg123_errcode(handle));
    *sourceUsed = length;

    // Everything decodable so far, up to the caller's capacity; what does not fit stays in
    // libmpg123's buffer for the next call.
    size_t used = 0;
    uint32_t result = ConvertOk;
    while (used < outCapacityBytes) {
        size_t done = 0;
        const int status = mpg123_read(handle, out + used, outCapacityBytes - used, &done);
        used += done;
        if (status == MPG123_NEW_FORMAT)
            continue;
        if (status == MPG123_OK) {
            if (done == 0)
                break;
            continue;
        }
        if (status == MPG123_NEED_MORE || status == MPG123_DONE)
            break;
        const int code = mpg123_errcode(handle);
        result =
            code == MPG123_OUT_OF_MEM ? LibraryFailureBase + uint32_t(code) : ConvertImpossible;
        break;
    }
    *destUsed = uint32_t(used);
    return result;
}

int Mp3FrameDecoder::Close()
{
    if (m_impl->Handle == nullptr)
        return 0;
    const int status = mpg123_close(m_impl->Handle);
    mpg123_delete(m_impl->Handle);
    m_impl->Handle = nullptr;
    return status == MPG123_OK ? 0 : 1;
}

} // namespace zefrin
