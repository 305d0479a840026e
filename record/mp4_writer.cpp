#include "record/mp4_writer.h"

#include <algorithm>

#include "record/box_writer.h"

namespace tov {
namespace {

constexpr uint32_t kVideoTimescale = 90000;
constexpr uint32_t kVideoTrack = 1;
constexpr uint32_t kAudioTrack = 2;
// Sample flags: a sync sample depends on no other; any other picture does and is not sync.
constexpr uint32_t kSyncSampleFlags = 0x02000000;
constexpr uint32_t kOtherSampleFlags = 0x01010000;

void sampleEntryStart(BoxWriter& w, const char* type) {
    w.begin(type);
    w.zeros(6);  // reserved
    w.u16(1);    // data_reference_index
}

void emptySampleTables(BoxWriter& w) {
    for (const char* type : {"stts", "stsc", "stco"}) {
        w.beginFull(type, 0, 0);
        w.u32(0);
        w.end();
    }
    w.beginFull("stsz", 0, 0);
    w.u32(0);
    w.u32(0);
    w.end();
}

void dataInformation(BoxWriter& w) {
    w.begin("dinf");
    w.beginFull("dref", 0, 0);
    w.u32(1);
    w.beginFull("url ", 0, 1);  // the media is in this file
    w.end();
    w.end();
    w.end();
}

void trackHeader(BoxWriter& w, uint32_t id, bool sound, int width, int height) {
    w.beginFull("tkhd", 0, 3);  // enabled, in the movie
    w.u32(0);                   // creation time
    w.u32(0);                   // modification time
    w.u32(id);
    w.u32(0);
    w.u32(0);  // duration: the fragments say
    w.zeros(8);
    w.u16(0);  // layer
    w.u16(0);  // alternate group
    w.u16(sound ? 0x0100 : 0);
    w.u16(0);
    w.unityMatrix();
    w.u32(static_cast<uint32_t>(width) << 16);
    w.u32(static_cast<uint32_t>(height) << 16);
    w.end();
}

void mediaHeader(BoxWriter& w, uint32_t timescale, const char* handler, const char* name) {
    w.beginFull("mdhd", 0, 0);
    w.u32(0);
    w.u32(0);
    w.u32(timescale);
    w.u32(0);
    w.u16(0x55c4);  // "und"
    w.u16(0);
    w.end();
    w.beginFull("hdlr", 0, 0);
    w.u32(0);
    w.raw(std::string_view(handler, 4));
    w.zeros(12);
    w.raw(name);
    w.u8(0);
    w.end();
}

}  // namespace

int64_t Mp4Writer::toTicks(int64_t timeUs) const {
    return (timeUs - originUs_) * kVideoTimescale / 1000000;
}

bool Mp4Writer::start(const Mp4VideoTrack& video, const Mp4AudioTrack& audio, Sink sink,
                      int64_t fragmentUs) {
    config_ = decoderConfigRecord(video.codec, video.csd);
    if (config_.empty() || video.width <= 0 || video.height <= 0 || !sink) return false;
    video_ = video;
    audio_ = audio;
    if (audio_.sampleRate <= 0 || audio_.sampleRate > 65535 || audio_.channels <= 0) {
        audio_ = {};
    }
    sink_ = std::move(sink);
    fragmentTicks_ = std::max<int64_t>(1, fragmentUs * kVideoTimescale / 1000000);
    if (!sink_(header())) return false;
    started_ = true;
    return true;
}

std::string Mp4Writer::header() const {
    const bool sound = audio_.sampleRate > 0;
    BoxWriter w;
    w.begin("ftyp");
    w.raw("iso6");
    w.u32(0);
    w.raw("iso6isommp41");
    w.end();

    w.begin("moov");
    w.beginFull("mvhd", 0, 0);
    w.u32(0);
    w.u32(0);
    w.u32(1000);
    w.u32(0);
    w.u32(0x00010000);  // rate 1.0
    w.u16(0x0100);      // volume 1.0
    w.zeros(10);
    w.unityMatrix();
    w.zeros(24);
    w.u32(sound ? kAudioTrack + 1 : kVideoTrack + 1);
    w.end();

    w.begin("trak");
    trackHeader(w, kVideoTrack, false, video_.width, video_.height);
    w.begin("mdia");
    mediaHeader(w, kVideoTimescale, "vide", "Tovenmar video");
    w.begin("minf");
    w.beginFull("vmhd", 0, 1);
    w.zeros(8);
    w.end();
    dataInformation(w);
    w.begin("stbl");
    w.beginFull("stsd", 0, 0);
    w.u32(1);
    const bool hevc = video_.codec == VideoCodec::Hevc;
    sampleEntryStart(w, hevc ? "hvc1" : "avc1");
    w.zeros(16);  // pre-defined and reserved
    w.u16(static_cast<uint32_t>(video_.width));
    w.u16(static_cast<uint32_t>(video_.height));
    w.u32(0x00480000);  // 72 dpi
    w.u32(0x00480000);
    w.u32(0);
    w.u16(1);  // one picture per sample
    w.zeros(32);
    w.u16(0x0018);
    w.u16(0xffff);
    w.begin(hevc ? "hvcC" : "avcC");
    w.raw(config_);
    w.end();
    w.end();  // sample entry
    w.end();  // stsd
    emptySampleTables(w);
    w.end();  // stbl
    w.end();  // minf
    w.end();  // mdia
    w.end();  // trak

    if (sound) {
        w.begin("trak");
        trackHeader(w, kAudioTrack, true, 0, 0);
        w.begin("mdia");
        mediaHeader(w, static_cast<uint32_t>(audio_.sampleRate), "soun", "Tovenmar sound");
        w.begin("minf");
        w.beginFull("smhd", 0, 0);
        w.u32(0);
        w.end();
        dataInformation(w);
        w.begin("stbl");
        w.beginFull("stsd", 0, 0);
        w.u32(1);
        // Little-endian signed 16-bit PCM, as the phone sends it.
        sampleEntryStart(w, "sowt");
        w.u16(0);  // version
        w.u16(0);
        w.u32(0);
        w.u16(static_cast<uint32_t>(audio_.channels));
        w.u16(16);
        w.u16(0);
        w.u16(0);
        w.u32(static_cast<uint32_t>(audio_.sampleRate) << 16);
        w.end();
        w.end();  // stsd
        emptySampleTables(w);
        w.end();
        w.end();
        w.end();
        w.end();
    }

    w.begin("mvex");
    for (uint32_t id : {kVideoTrack, kAudioTrack}) {
        if (id == kAudioTrack && !sound) break;
        w.beginFull("trex", 0, 0);
        w.u32(id);
        w.u32(1);
        w.u32(0);
        w.u32(0);
        w.u32(0);
        w.end();
    }
    w.end();
    w.end();  // moov
    return w.take();
}

bool Mp4Writer::addVideo(std::string_view annexB, int64_t timeUs, bool key) {
    if (!started_ || failed_) return false;
    if (!haveOrigin_) {
        if (!key) return true;
        haveOrigin_ = true;
        originUs_ = timeUs;
    }
    int64_t ticks = toTicks(timeUs);
    if (!samples_.empty() || videoSamples_ > 0) {
        // Time must move forward for every picture, whatever the stamps say.
        ticks = std::max(ticks, lastTicks_ + 1);
    }
    if (!samples_.empty() && ticks - samples_.front().ticks >= fragmentTicks_) {
        if (!writeFragment(ticks)) return false;
    }
    const std::string sample = lengthPrefixedSample(video_.codec, annexB);
    if (sample.empty()) return true;
    if (videoSamples_ > 0) lastDuration_ = ticks - lastTicks_;
    samples_.push_back({ticks, static_cast<uint32_t>(sample.size()), key});
    videoData_ += sample;
    lastTicks_ = ticks;
    ++videoSamples_;
    return true;
}

bool Mp4Writer::addAudio(std::string_view pcm) {
    if (!started_ || failed_) return false;
    if (!haveOrigin_ || audio_.sampleRate <= 0) return true;
    audioData_.append(pcm);
    return true;
}

bool Mp4Writer::finish() {
    if (!started_) return false;
    bool ok = !failed_;
    if (ok && !samples_.empty()) {
        const int64_t last = lastDuration_ > 0 ? lastDuration_ : kVideoTimescale / 30;
        ok = writeFragment(lastTicks_ + last);
    }
    started_ = false;
    return ok;
}

int64_t Mp4Writer::durationUs() const {
    if (videoSamples_ == 0) return 0;
    return (lastTicks_ + (lastDuration_ > 0 ? lastDuration_ : 0)) * 1000000 / kVideoTimescale;
}

bool Mp4Writer::writeFragment(int64_t endTicks) {
    const uint32_t frameBytes = static_cast<uint32_t>(audio_.channels) * 2;
    const bool sound = audio_.sampleRate > 0 && frameBytes > 0;
    // Whole frames only; a split frame waits for its rest.
    const size_t audioBytes = sound ? audioData_.size() / frameBytes * frameBytes : 0;

    BoxWriter w;
    w.begin("moof");
    w.beginFull("mfhd", 0, 0);
    w.u32(++sequence_);
    w.end();

    w.begin("traf");
    w.beginFull("tfhd", 0, 0x020000);  // offsets count from this moof
    w.u32(kVideoTrack);
    w.end();
    w.beginFull("tfdt", 1, 0);
    w.u64(static_cast<uint64_t>(samples_.front().ticks));
    w.end();
    w.beginFull("trun", 0, 0x000001 | 0x000100 | 0x000200 | 0x000400);
    w.u32(static_cast<uint32_t>(samples_.size()));
    const size_t videoOffsetAt = w.size();
    w.u32(0);
    for (size_t i = 0; i < samples_.size(); ++i) {
        const int64_t next = i + 1 < samples_.size() ? samples_[i + 1].ticks : endTicks;
        w.u32(static_cast<uint32_t>(std::max<int64_t>(1, next - samples_[i].ticks)));
        w.u32(samples_[i].size);
        w.u32(samples_[i].key ? kSyncSampleFlags : kOtherSampleFlags);
    }
    w.end();
    w.end();  // traf

    size_t audioOffsetAt = 0;
    if (audioBytes > 0) {
        w.begin("traf");
        w.beginFull("tfhd", 0, 0x020000 | 0x000008 | 0x000010);
        w.u32(kAudioTrack);
        w.u32(1);           // each sample is one frame of the sample rate
        w.u32(frameBytes);  // and this many bytes
        w.end();
        w.beginFull("tfdt", 1, 0);
        w.u64(static_cast<uint64_t>(audioFramesWritten_));
        w.end();
        w.beginFull("trun", 0, 0x000001);
        w.u32(static_cast<uint32_t>(audioBytes / frameBytes));
        audioOffsetAt = w.size();
        w.u32(0);
        w.end();
        w.end();
    }
    w.end();  // moof

    const size_t moofSize = w.size();
    w.patch32(videoOffsetAt, static_cast<uint32_t>(moofSize + 8));
    if (audioOffsetAt) {
        w.patch32(audioOffsetAt, static_cast<uint32_t>(moofSize + 8 + videoData_.size()));
    }
    w.u32(static_cast<uint32_t>(8 + videoData_.size() + audioBytes));
    w.raw("mdat");
    w.raw(videoData_);
    w.raw(std::string_view(audioData_).substr(0, audioBytes));

    samples_.clear();
    videoData_.clear();
    audioData_.erase(0, audioBytes);
    audioFramesWritten_ += static_cast<int64_t>(audioBytes / (frameBytes ? frameBytes : 1));
    if (!sink_(w.bytes())) {
        failed_ = true;
        return false;
    }
    return true;
}

}  // namespace tov
