#include "document/ProgressThrottle.h"
#include "document/SameFile.h"
#include "document/SplitDocument.h"
#include "settings/PathText.h"

#include "engine/AtomicFile.h"
#include "engine/Decoder.h"
#include "engine/FramePcm.h"
#include "engine/WavWriter.h"

#include <array>
#include <new>

void SplitDocument::startWavConversion(const std::filesystem::path& wavPath) {
    if (!canEditBreakPoints()) {
        return;
    }
    // Creating the output would truncate the very file the thread reads.
    if (namesSameFile(wavPath, m_filePath)) {
        m_prompts.messageBox(
            "The wav file can not replace the mp3 file it is made from, please choose another name!", "Error",
            MessageIcon::Error);
        return;
    }
    const std::filesystem::path previousPath = m_wavPath;
    m_wavPath = wavPath;
    m_wavSucceeded = false;
    if (!m_wavThread.start([this] { runWavThread(); })) {
        m_wavPath = previousPath;
        log(LogLevel::Error, kNoWorkerThreadText);
    }
}

namespace {

// The temporary file of an atomic output, written by a writer that opens it by name. The bytes reach
// the final name only when everything succeeded.
bool commitWav(AtomicFile& output, mp3::WavWriter& writer, bool written) {
    if (written) {
        return output.commit();
    }
    writer.discard();
    output.discard();
    return false;
}

} // namespace

void SplitDocument::runWavThread() {
    const std::string target = pathText(m_wavPath);
    bool written = false;
    try {
        AtomicFile output(m_wavPath, AtomicFile::Existing::Replace, m_filePath);
        if (!output.isOpen()) {
            // A name refused before anything was created says why; a file the system would not create does
            // not.
            const std::string& why = output.error();
            const bool refused =
                why == AtomicFile::kNotRegular || why == AtomicFile::kIsSource || why == AtomicFile::kExists;
            log(LogLevel::Error, "Can not create wav file " + target +
                                     ", the mp3 file has not been converted!" +
                                     (refused ? " (" + why + ")" : ""));
        } else {
            written = convertToWav(output);
        }
    } catch (const std::bad_alloc&) {
        m_frame.send(UM_PROGRESS_SHOW, 0, 0);
        log(LogLevel::Error, "Can not write wav file " + target + ": not enough memory");
        written = false;
    }
    m_wavSucceeded = written;
    m_view.post(UM_WAV_DONE, 0, 0);
}

bool SplitDocument::convertToWav(AtomicFile& output) {
    mp3::FrameReader reader(m_filePath);
    const mp3::FrameReader end;
    const int frames = frameCount();
    // Frames of the largest PCM bound the data without reading them; only past that are the frames'
    // own formats summed, so the plain header is chosen exactly when a clean decode fits it.
    const std::uint64_t quickBound = static_cast<std::uint64_t>(frames) * mp3::kMaxPcmBytes;
    const mp3::WavLayout layout =
        mp3::wavLayoutFor(quickBound <= mp3::kMaxWavDataBytes ? quickBound : mp3::filePcmBound(m_filePath));
    mp3::WavWriter writer(output.temporaryPath(), reader.header().channels(), reader.header().sampleRate(),
                          m_wavDataLimit, layout);
    m_frame.send(UM_PROGRESS_SHOW, 1, 0);
    m_frame.send(UM_PROGRESS_SET, 0, frames);

    ProgressThrottle progress(frames, 1000);
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    while (writer.status() == mp3::WavWriter::Status::Ok && !(reader == end)) {
        const std::size_t count = mp3::framePcm(m_decoding, reader, pcm.data());
        writer.write(pcm.data(), count);
        reader.readNext();
        const int position = reader.frameNumber();
        if (progress.due(position) || reader == end) {
            m_frame.send(UM_PROGRESS_SET, static_cast<std::uintptr_t>(position), 0);
            progress.sent(position);
        }
    }
    const bool finished = writer.finish();
    m_frame.send(UM_PROGRESS_SHOW, 0, 0);
    reader.close();
    const bool written = commitWav(output, writer, finished);

    const std::string target = pathText(m_wavPath);
    switch (writer.status()) {
    case mp3::WavWriter::Status::Ok:
        if (!written) {
            log(LogLevel::Error, "Can not write wav file " + target +
                                     ", the mp3 file has not been converted! (" + output.error() + ")");
        }
        break;
    case mp3::WavWriter::Status::CannotCreate:
        log(LogLevel::Error, "Can not create wav file " + target + ", the mp3 file has not been converted!");
        break;
    case mp3::WavWriter::Status::WriteFailed:
        log(LogLevel::Error, "Can not write wav file " + target + ", the mp3 file has not been converted!");
        break;
    case mp3::WavWriter::Status::TooLarge:
        log(LogLevel::Error, "The mp3 file decodes to more than " + std::to_string(writer.maxDataBytes()) +
                                 " bytes of PCM, which a wav file can not hold; " + target +
                                 " has not been written!");
        break;
    }
    return written;
}

void SplitDocument::onWavDone() {
    m_wavThread.clear();
    if (m_wavSucceeded) {
        log(LogLevel::Normal, "Current mp3 file has been saved to wav format.");
    }
}
