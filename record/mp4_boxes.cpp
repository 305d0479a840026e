#include "record/mp4_boxes.h"

#include "record/box_writer.h"

namespace tov {
namespace {

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

// Returns where its duration is.
size_t trackHeader(BoxWriter& w, uint32_t id, bool sound, int width, int height) {
    w.beginFull("tkhd", 1, 3);  // enabled, in the movie
    w.u64(0);                   // creation time
    w.u64(0);                   // modification time
    w.u32(id);
    w.u32(0);
    const size_t durationAt = w.size();
    w.u64(0);
    w.zeros(8);
    w.u16(0);  // layer
    w.u16(0);  // alternate group
    w.u16(sound ? 0x0100 : 0);
    w.u16(0);
    w.unityMatrix();
    w.u32(static_cast<uint32_t>(width) << 16);
    w.u32(static_cast<uint32_t>(height) << 16);
    w.end();
    return durationAt;
}

size_t mediaHeader(BoxWriter& w, uint32_t timescale, const char* handler, const char* name) {
    w.beginFull("mdhd", 1, 0);
    w.u64(0);
    w.u64(0);
    w.u32(timescale);
    const size_t durationAt = w.size();
    w.u64(0);
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
    return durationAt;
}

void videoSampleEntry(BoxWriter& w, const Mp4VideoTrack& video, std::string_view config) {
    const bool hevc = video.codec == VideoCodec::Hevc;
    sampleEntryStart(w, hevc ? "hvc1" : "avc1");
    w.zeros(16);  // pre-defined and reserved
    w.u16(static_cast<uint32_t>(video.width));
    w.u16(static_cast<uint32_t>(video.height));
    w.u32(0x00480000);  // 72 dpi
    w.u32(0x00480000);
    w.u32(0);
    w.u16(1);  // one picture per sample
    w.zeros(32);
    w.u16(0x0018);
    w.u16(0xffff);
    w.begin(hevc ? "hvcC" : "avcC");
    w.raw(config);
    w.end();
    w.end();
}

// Little-endian signed 16-bit PCM, as the phone sends it, under the code 'sowt'. The ISO code for
// uncompressed sound, 'ipcm' (ISO/IEC 23003-5) with its 'pcmC' box, is read by fewer players:
// Windows' own MPEG-4 file source documents 'sowt' (and 'twos', 'raw ') as PCM and lists no
// 'ipcm'; of the readers installed here, ffmpeg 5.1 reads both, GStreamer 1.22's qtdemux finds no
// decoder for 'ipcm' ("audio/x-gst-fourcc-ipcm") while it plays 'sowt', and MediaInfo 23.04
// reads 'ipcm' without its channel count. A file with each entry was tried with all three.
void soundSampleEntry(BoxWriter& w, const Mp4AudioTrack& audio) {
    sampleEntryStart(w, "sowt");
    w.u16(0);  // version
    w.u16(0);
    w.u32(0);
    w.u16(static_cast<uint32_t>(audio.channels));
    w.u16(16);
    w.u16(0);
    w.u16(0);
    w.u32(static_cast<uint32_t>(audio.sampleRate) << 16);
    w.end();
}

}  // namespace

Mp4Header mp4Header(const Mp4VideoTrack& video, std::string_view decoderConfig,
                    const Mp4AudioTrack& audio) {
    const bool sound = audio.sampleRate > 0;
    Mp4Header h;
    BoxWriter w;
    w.begin("ftyp");
    w.raw("iso6");
    w.u32(0);
    w.raw("iso6isommp41");
    w.end();

    w.begin("moov");
    w.beginFull("mvhd", 1, 0);
    w.u64(0);
    w.u64(0);
    w.u32(kMp4MovieTimescale);
    h.movieDurationAt = w.size();
    w.u64(0);
    w.u32(0x00010000);  // rate 1.0
    w.u16(0x0100);      // volume 1.0
    w.zeros(10);
    w.unityMatrix();
    w.zeros(24);
    w.u32(sound ? kMp4SoundTrack + 1 : kMp4VideoTrack + 1);
    w.end();

    w.begin("trak");
    h.trackDurationAt[0] = trackHeader(w, kMp4VideoTrack, false, video.width, video.height);
    w.begin("mdia");
    h.mediaDurationAt[0] = mediaHeader(w, kMp4VideoTimescale, "vide", "Tovenmar video");
    w.begin("minf");
    w.beginFull("vmhd", 0, 1);
    w.zeros(8);
    w.end();
    dataInformation(w);
    w.begin("stbl");
    w.beginFull("stsd", 0, 0);
    w.u32(1);
    videoSampleEntry(w, video, decoderConfig);
    w.end();  // stsd
    emptySampleTables(w);
    w.end();  // stbl
    w.end();  // minf
    w.end();  // mdia
    w.end();  // trak

    if (sound) {
        w.begin("trak");
        h.trackDurationAt[1] = trackHeader(w, kMp4SoundTrack, true, 0, 0);
        w.begin("mdia");
        h.mediaDurationAt[1] =
            mediaHeader(w, static_cast<uint32_t>(audio.sampleRate), "soun", "Tovenmar sound");
        w.begin("minf");
        w.beginFull("smhd", 0, 0);
        w.u32(0);
        w.end();
        dataInformation(w);
        w.begin("stbl");
        w.beginFull("stsd", 0, 0);
        w.u32(1);
        soundSampleEntry(w, audio);
        w.end();  // stsd
        emptySampleTables(w);
        w.end();
        w.end();
        w.end();
        w.end();
    }

    w.begin("mvex");
    w.beginFull("mehd", 1, 0);
    h.fragmentDurationAt = w.size();
    w.u64(0);
    w.end();
    for (uint32_t id : {kMp4VideoTrack, kMp4SoundTrack}) {
        if (id == kMp4SoundTrack && !sound) break;
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
    h.bytes = w.take();
    return h;
}

std::string mp4Fragment(uint32_t sequence, const Mp4VideoRun& video, const Mp4SoundRun& sound) {
    const bool pictures = !video.samples.empty();
    const uint32_t frames =
        sound.frameBytes ? static_cast<uint32_t>(sound.data.size() / sound.frameBytes) : 0;
    BoxWriter w;
    w.begin("moof");
    w.beginFull("mfhd", 0, 0);
    w.u32(sequence);
    w.end();

    size_t videoOffsetAt = 0;
    if (pictures) {
        w.begin("traf");
        w.beginFull("tfhd", 0, 0x020000);  // offsets count from this moof
        w.u32(kMp4VideoTrack);
        w.end();
        w.beginFull("tfdt", 1, 0);
        w.u64(static_cast<uint64_t>(video.start));
        w.end();
        w.beginFull("trun", 0, 0x000001 | 0x000100 | 0x000200 | 0x000400);
        w.u32(static_cast<uint32_t>(video.samples.size()));
        videoOffsetAt = w.size();
        w.u32(0);
        for (const Mp4VideoSample& s : video.samples) {
            w.u32(s.duration);
            w.u32(s.size);
            w.u32(s.key ? kSyncSampleFlags : kOtherSampleFlags);
        }
        w.end();
        w.end();
    }
    size_t soundOffsetAt = 0;
    if (frames > 0) {
        w.begin("traf");
        w.beginFull("tfhd", 0, 0x020000 | 0x000008 | 0x000010);
        w.u32(kMp4SoundTrack);
        w.u32(1);                 // each sample is one frame of the sample rate
        w.u32(sound.frameBytes);  // and this many bytes
        w.end();
        w.beginFull("tfdt", 1, 0);
        w.u64(static_cast<uint64_t>(sound.start));
        w.end();
        w.beginFull("trun", 0, 0x000001);
        w.u32(frames);
        soundOffsetAt = w.size();
        w.u32(0);
        w.end();
        w.end();
    }
    w.end();  // moof

    const size_t pictureBytes = pictures ? video.data.size() : 0;
    const size_t soundBytes = static_cast<size_t>(frames) * sound.frameBytes;
    const size_t moofSize = w.size();
    if (videoOffsetAt) w.patch32(videoOffsetAt, static_cast<uint32_t>(moofSize + 8));
    if (soundOffsetAt) {
        w.patch32(soundOffsetAt, static_cast<uint32_t>(moofSize + 8 + pictureBytes));
    }
    w.u32(static_cast<uint32_t>(8 + pictureBytes + soundBytes));
    w.raw("mdat");
    if (pictures) w.raw(video.data);
    w.raw(sound.data.substr(0, soundBytes));
    return w.take();
}

std::string mp4Index(const std::vector<Mp4IndexEntry>& video,
                     const std::vector<Mp4IndexEntry>& sound, bool withSound) {
    BoxWriter w;
    w.begin("mfra");
    for (uint32_t id : {kMp4VideoTrack, kMp4SoundTrack}) {
        if (id == kMp4SoundTrack && !withSound) break;
        const std::vector<Mp4IndexEntry>& entries = id == kMp4VideoTrack ? video : sound;
        w.beginFull("tfra", 1, 0);
        w.u32(id);
        w.u32(0x3f);  // traf, trun and sample numbers in four bytes each
        w.u32(static_cast<uint32_t>(entries.size()));
        for (const Mp4IndexEntry& e : entries) {
            w.u64(static_cast<uint64_t>(e.time));
            w.u64(e.moofOffset);
            w.u32(e.trafNumber);
            w.u32(1);  // one run per track fragment
            w.u32(e.sampleNumber);
        }
        w.end();
    }
    w.beginFull("mfro", 0, 0);
    const size_t sizeAt = w.size();
    w.u32(0);
    w.end();
    w.end();
    w.patch32(sizeAt, static_cast<uint32_t>(w.size()));
    return w.take();
}

}  // namespace tov
