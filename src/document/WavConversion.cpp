#include "document/PathText.h"
#include "document/SameFile.h"
#include "document/SplitDocument.h"

#include "engine/Decoder.h"
#include "engine/FramePcm.h"
#include "engine/WavWriter.h"

#include <array>

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
    m_wavPath = wavPath;
    m_wavSucceeded = false;
    m_wavThread.start([this] { runWavThread(); });
}

void SplitDocument::runWavThread() {
    mp3::FrameReader reader(m_filePath);
    const mp3::FrameReader end;
    mp3::WavWriter writer(m_wavPath, reader.header().channels(), reader.header().sampleRate(),
                          m_wavDataLimit);
    const int frames = frameCount();
    m_frame.send(UM_PROGRESS_SHOW, 1, 0);
    m_frame.send(UM_PROGRESS_SET, 0, frames);

    // Progress only when the bar moves by a thousandth of its range.
    const int step = frames / 1000 > 0 ? frames / 1000 : 1;
    int sent = 0;
    std::array<std::uint8_t, mp3::kMaxPcmBytes> pcm{};
    while (writer.status() == mp3::WavWriter::Status::Ok && !(reader == end)) {
        const std::size_t count = mp3::framePcm(reader, pcm.data());
        writer.write(pcm.data(), count);
        reader.readNext();
        const int position = reader.frameNumber();
        if (position - sent >= step || reader == end) {
            m_frame.send(UM_PROGRESS_SET, static_cast<std::uintptr_t>(position), 0);
            sent = position;
        }
    }
    const bool written = writer.finish();
    m_frame.send(UM_PROGRESS_SHOW, 0, 0);
    reader.close();

    const std::string target = pathText(m_wavPath);
    switch (writer.status()) {
    case mp3::WavWriter::Status::Ok:
        break;
    case mp3::WavWriter::Status::CannotCreate:
        log(LogLevel::Error, "Can not create wav file " + target + ", the mp3 file has not been converted!");
        break;
    case mp3::WavWriter::Status::WriteFailed:
        writer.discard();
        log(LogLevel::Error, "Can not write wav file " + target + ", the mp3 file has not been converted!");
        break;
    case mp3::WavWriter::Status::TooLarge:
        writer.discard();
        log(LogLevel::Error, "The mp3 file decodes to more than " + std::to_string(m_wavDataLimit) +
                                 " bytes of PCM, which a wav file can not hold; " + target +
                                 " has not been written!");
        break;
    }
    m_wavSucceeded = written;
    m_view.post(UM_WAV_DONE, 0, 0);
}

void SplitDocument::onWavDone() {
    m_wavThread.clear();
    if (m_wavSucceeded) {
        log(LogLevel::Normal, "Current mp3 file has been saved to wav format.");
    }
}
