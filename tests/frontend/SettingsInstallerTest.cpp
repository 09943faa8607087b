#include "frontend/SettingsInstaller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "ConfigHomeSupport.h"
#include "binding/MediaPointers.h"
#include "frontend/LibraryEncoders.h"
#include "frontend/UnitGeneral.h"

namespace {

using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

// Libraries that have every encoder except the named ones, and a default codec for every
// extension but "none".
TEncoderQuery FakeLibraries(std::set<std::string> missing) {
  TEncoderQuery query;
  query.HasEncoder = [missing](const std::string& encoder, TEncoderKind) {
    return missing.count(encoder) == 0;
  };
  query.HasDefaultEncoder = [](const std::string& extension, TEncoderKind) {
    return extension != "none";
  };
  return query;
}

void WriteSources(const TTempFolder& source) {
  WriteTextFile(source.File("codec.ini"),
                "; shipped catalogue\n[Video Codec]\nH.264=libx264\nMPEG-4=mpeg4\n\n"
                "[Audio Codec]\nAAC=aac\nAMR Narrow-Band=libopencore_amrnb\n");
  WriteTextFile(source.File("3GP.ini"),
                "[First]\nVideoCodec=H.264\nAudioCodec=AAC\n\n"
                "[AMR]\nVideoCodec=MPEG-4\nAudioCodec=AMR Narrow-Band\nOOTargetType=ttVCD\n\n"
                "[Silent AMR]\nVideoCodec=MPEG-4\nAudioDisabled=1\nAudioCodec=AMR Narrow-Band\n\n"
                "[Unknown]\nVideoCodec=Nonesuch\nAudioCodec=AAC\n\n"
                "[Auto]\nTargetType=none\nAudioCodec=AAC\n\n"
                "[Last]\nVideoCodec=MPEG-4\nAudioCodec=Auto\nOONormType=ntPAL\n");
  WriteTextFile(source.File("Audio.ini"), "[MP3]\nTargetType=mp3\nVideoDisabled=1\n");
}

TEST(SettingsInstallerTest, KeepsOnlyWhatTheLibrariesCanEncode) {
  TTempFolder source;
  TTempFolder config;
  WriteSources(source);
  const std::string target = (config.Path() / "Tovrena" / "Settings").string();
  const TInstallReport report =
      InstallDefaultSettings(source.Path().string(), target, FakeLibraries({"libopencore_amrnb"}));

  EXPECT_EQ(report.Installed, (Strings{"codec.ini", "3GP.ini", "Audio.ini"}));
  // Each left-out entry reads as a note that says what it needs.
  const std::string lacking = ", which this system's libraries do not have";
  EXPECT_EQ(report.Skipped,
            (Strings{"codec.ini: codec \"AMR Narrow-Band\" left out: it needs the encoder "
                     "\"libopencore_amrnb\"" +
                         lacking,
                     "3GP.ini: profile \"AMR\" left out: it needs the codec \"AMR Narrow-Band\", "
                     "which the catalogue lacks",
                     "3GP.ini: profile \"Unknown\" left out: it needs the codec \"Nonesuch\", "
                     "which the catalogue lacks",
                     "3GP.ini: profile \"Auto\" left out: it needs an encoder for \"none\" files" +
                         lacking}));
  EXPECT_EQ(ReadTextFile(target + "/codec.ini"),
            "; shipped catalogue\n[Video Codec]\nH.264=libx264\nMPEG-4=mpeg4\n\n"
            "[Audio Codec]\nAAC=aac\n");
  const TIniFile profiles(target + "/3GP.ini");
  EXPECT_EQ(profiles.ReadSections(), (Strings{"First", "Silent AMR", "Last"}));
  EXPECT_EQ(profiles.ReadString("Last", "OONormType", ""), "ntPAL");
  EXPECT_EQ(TIniFile(target + "/Audio.ini").ReadSections(), (Strings{"MP3"}));
}

TEST(SettingsInstallerTest, NeverReplacesTheUsersFiles) {
  TTempFolder source;
  TTempFolder target;
  WriteSources(source);
  WriteTextFile(target.File("codec.ini"), "[Video Codec]\nMPEG-4=mpeg4\n[Audio Codec]\nAAC=aac\n");
  WriteTextFile(target.File("Audio.ini"), "");
  const TInstallReport report =
      InstallDefaultSettings(source.Path().string(), target.Path().string(), FakeLibraries({}));

  EXPECT_EQ(report.Installed, (Strings{"3GP.ini"}));
  EXPECT_EQ(ReadTextFile(target.File("codec.ini")),
            "[Video Codec]\nMPEG-4=mpeg4\n[Audio Codec]\nAAC=aac\n");
  EXPECT_EQ(ReadTextFile(target.File("Audio.ini")), "");
  // Profiles are judged by the user's catalogue, which lacks "H.264".
  EXPECT_EQ(TIniFile(target.File("3GP.ini")).ReadSections(), (Strings{"Silent AMR", "Last"}));
}

TEST(SettingsInstallerTest, TheNewerGroupsAreInstalledWithoutProfilesOfMissingEncoders) {
  TTempFolder target;
  const TInstallReport report = InstallDefaultSettings(
      TOVRENA_DEFAULT_SETTINGS_DIR, target.Path().string(), FakeLibraries({"libsvtav1"}));
  for (const char* file : {"MKV.ini", "WebM.ini"}) {
    EXPECT_NE(std::find(report.Installed.begin(), report.Installed.end(), file),
              report.Installed.end())
        << file;
  }
  EXPECT_EQ(TIniFile(target.File("MKV.ini")).ReadSections(),
            (Strings{"H.265 HEVC 1080p (CRF)", "H.264 1080p (CRF)"}));
  EXPECT_EQ(TIniFile(target.File("WebM.ini")).ReadSections(), (Strings{"VP9 1080p", "VP9 720p"}));
  const TIniFile catalogue(target.File("codec.ini"));
  EXPECT_EQ(catalogue.ReadString("Video Codec", "AV1 (SVT-AV1)", "none"), "none");
  EXPECT_EQ(catalogue.ReadString("Video Codec", "AV1 (libaom)", ""), "libaom-av1");
  EXPECT_NE(std::find(report.Skipped.begin(), report.Skipped.end(),
                      "MKV.ini: profile \"AV1 1080p (SVT-AV1)\" left out: it needs the codec "
                      "\"AV1 (SVT-AV1)\", which the catalogue lacks"),
            report.Skipped.end());
}

// Writes a short clip with the encoders, sizes and rates a profile names, through the
// muxer its file type selects, and checks the file opens again with those codecs.
class TProfileClip {
 public:
  TProfileClip(const TProfileSettings& profile, const std::string& folder) : profile_(profile) {
    std::string extension = profile.TargetType;
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    path_ = folder + "/clip." + extension;
    if (profile.OOTargetType == "ttVCD") formatName_ = "vcd";
    if (profile.OOTargetType == "ttSVCD") formatName_ = "svcd";
    if (profile.OOTargetType == "ttDVD") formatName_ = "dvd";
  }

  void Write() {
    AVFormatContext* raw = nullptr;
    ASSERT_GE(
        lib::avformat_alloc_output_context2(
            &raw, nullptr, formatName_.empty() ? nullptr : formatName_.c_str(), path_.c_str()),
        0);
    output_.reset(raw);
    if (!profile_.VideoDisabled) {
      ASSERT_NO_FATAL_FAILURE(AddVideo());
    }
    if (!profile_.AudioDisabled) {
      ASSERT_NO_FATAL_FAILURE(AddAudio());
    }
    ASSERT_GE(lib::avio_open(&output_->pb, path_.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_EQ(lib::avformat_write_header(output_.get(), nullptr), 0);
    for (std::size_t i = 0; i < encoders_.size(); ++i) {
      for (int n = 0; n < 12; ++n) ASSERT_NO_FATAL_FAILURE(Encode(i, NextFrame(i, n).get()));
      ASSERT_NO_FATAL_FAILURE(Encode(i, nullptr));
    }
    ASSERT_EQ(lib::av_write_trailer(output_.get()), 0);
    lib::avio_closep(&output_->pb);
  }

  void CheckReadsBack() const {
    AVFormatContext* raw = nullptr;
    ASSERT_EQ(lib::avformat_open_input(&raw, path_.c_str(), nullptr, nullptr), 0);
    const TInputFormatContextPtr input(raw);
    ASSERT_GE(lib::avformat_find_stream_info(input.get(), nullptr), 0);
    // Disc formats add streams of their own (DVD navigation packets), so look by type.
    for (const TCodecContextPtr& encoder : encoders_) {
      int found = 0;
      for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* stream = input->streams[i]->codecpar;
        if (stream->codec_type == encoder->codec_type) {
          ++found;
          EXPECT_EQ(stream->codec_id, encoder->codec_id);
        }
      }
      EXPECT_EQ(found, 1) << encoder->codec->name;
    }
  }

 private:
  TCodecContextPtr OpenEncoder(const char* section, const std::string& displayName) {
    const std::string name = CatalogueCodec(section, displayName);
    const AVCodec* codec = lib::avcodec_find_encoder_by_name(name.c_str());
    EXPECT_NE(codec, nullptr) << displayName << " = " << name;
    if (codec == nullptr) return nullptr;
    TCodecContextPtr context(lib::avcodec_alloc_context3(codec));
    if ((output_->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
      context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    return context;
  }

  void AddStream(TCodecContextPtr context) {
    ASSERT_EQ(lib::avcodec_open2(context.get(), context->codec, nullptr), 0)
        << context->codec->name;
    AVStream* stream = lib::avformat_new_stream(output_.get(), nullptr);
    ASSERT_NE(stream, nullptr);
    ASSERT_GE(lib::avcodec_parameters_from_context(stream->codecpar, context.get()), 0);
    stream->time_base = context->time_base;
    encoders_.push_back(std::move(context));
  }

  void AddVideo() {
    TCodecContextPtr context = OpenEncoder(kVideoCodecSection, profile_.VideoCodec);
    ASSERT_TRUE(context);
    const bool original = profile_.VideoSizeOption == "Original";
    context->width = original ? 320 : std::stoi(profile_.VideoCustomWidth);
    context->height = original ? 240 : std::stoi(profile_.VideoCustomHeight);
    const std::string& rate = profile_.VideoFrameRateOption;
    context->time_base = rate == "29.97"      ? AVRational{1001, 30000}
                         : rate == "Original" ? AVRational{1, 25}
                                              : AVRational{1, std::stoi(rate)};
    context->framerate = {context->time_base.den, context->time_base.num};
    context->pix_fmt = context->codec->pix_fmts[0];
    context->bit_rate = std::stoll(profile_.VideoBitrate) * 1000;
    AddStream(std::move(context));
  }

  void AddAudio() {
    TCodecContextPtr context = OpenEncoder(kAudioCodecSection, profile_.AudioCodec);
    ASSERT_TRUE(context);
    context->sample_rate = std::stoi(profile_.AudioSampleRate);
    if (const int* rates = context->codec->supported_samplerates; rates != nullptr) {
      while (*rates != 0 && *rates != context->sample_rate) ++rates;
      ASSERT_NE(*rates, 0) << context->codec->name << " at " << context->sample_rate;
    }
    lib::av_channel_layout_default(&context->ch_layout, std::stoi(profile_.AudioChannels));
    context->sample_fmt = context->codec->sample_fmts[0];
    context->time_base = {1, context->sample_rate};
    context->bit_rate = std::llround(std::stod(profile_.AudioBitRate) * 1000);
    AddStream(std::move(context));
  }

  TFramePtr NextFrame(std::size_t index, int n) const {
    const AVCodecContext* context = encoders_[index].get();
    TFramePtr frame(lib::av_frame_alloc());
    if (context->codec_type == AVMEDIA_TYPE_VIDEO) {
      frame->width = context->width;
      frame->height = context->height;
      frame->format = context->pix_fmt;
      frame->pts = n;
    } else {
      frame->nb_samples = context->frame_size > 0 ? context->frame_size : 1024;
      frame->format = context->sample_fmt;
      frame->sample_rate = context->sample_rate;
      lib::av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
      frame->pts = static_cast<std::int64_t>(n) * frame->nb_samples;
    }
    EXPECT_EQ(lib::av_frame_get_buffer(frame.get(), 0), 0);
    // A changing grey picture; silent sound.
    const int fill = context->codec_type == AVMEDIA_TYPE_VIDEO ? 0x60 + n : 0;
    for (int plane = 0; plane < AV_NUM_DATA_POINTERS && frame->buf[plane] != nullptr; ++plane) {
      std::memset(frame->buf[plane]->data, fill, frame->buf[plane]->size);
    }
    return frame;
  }

  void Encode(std::size_t index, const AVFrame* frame) {
    AVCodecContext* context = encoders_[index].get();
    ASSERT_GE(lib::avcodec_send_frame(context, frame), 0);
    const TPacketPtr packet(lib::av_packet_alloc());
    while (lib::avcodec_receive_packet(context, packet.get()) == 0) {
      packet->stream_index = static_cast<int>(index);
      lib::av_packet_rescale_ts(packet.get(), context->time_base,
                                output_->streams[index]->time_base);
      ASSERT_EQ(lib::av_interleaved_write_frame(output_.get(), packet.get()), 0);
    }
  }

  TProfileSettings profile_;
  std::string path_;
  std::string formatName_;
  TOutputFormatContextPtr output_;
  std::vector<TCodecContextPtr> encoders_;
};

TEST(SettingsInstallerTest, EveryInstalledDefaultProfileWritesAPlayableClip) {
  BindMediaLibrariesForTest();
  TScopedConfigHome home;
  const TInstallReport report = InstallDefaultSettings(TOVRENA_DEFAULT_SETTINGS_DIR,
                                                       SettingsFolderPath(), LibraryEncoderQuery());
  EXPECT_EQ(report.Installed.size(), kOutputGroups.size() + 1);

  int clips = 0;
  for (const char* group : kOutputGroups) {
    const Strings profiles = ListProfiles(group);
    EXPECT_GE(profiles.size(), 3u) << group;
    for (const std::string& name : profiles) {
      if (name == kCustomProfile) continue;
      SCOPED_TRACE(std::string(group) + " / " + name);
      TTempFolder folder;
      TProfileClip clip(LoadProfile(group, name), folder.Path().string());
      ASSERT_NO_FATAL_FAILURE(clip.Write());
      ASSERT_NO_FATAL_FAILURE(clip.CheckReadsBack());
      ++clips;
    }
  }
  EXPECT_GE(clips, 30);
}

}  // namespace
