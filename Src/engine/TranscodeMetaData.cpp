// What the transcode set-up carries over besides the streams: the metadata maps (classic
// texts, every tag, chapters) and the subtitle header that text subtitle encoders need.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "binding/MyUtils.h"
#include "engine/Transcoder.h"

namespace {

void CopyTags(const AVDictionary* from, AVDictionary** to) {
  // What the output already holds (the profile's texts, a stream's language) stays.
  if (const int result = lib::av_dict_copy(to, from, AV_DICT_DONT_OVERWRITE); result < 0)
    throw FFMpegException("av_dict_copy fail: " + ErrorReason(result));
}

}  // namespace

void TTranscoder::CopyMetaDataMaps() {
  static const char* const kKeys[] = {"title", "artist", "author", "copyright", "comment",
                                      "album", "date",   "track",  "genre"};
  for (int m = 0; m < J.NbMetaDataMaps; ++m) {
    const TMetaDataMap& map = J.MetaDataMaps[m];
    if (map.OutFile < 0 || map.OutFile >= E.OutputFileCount())
      throw FFMpegException(StringFormat("Invalid output file index %d map_meta_data(%d,%d)",
                                         map.OutFile, map.OutFile, map.InFile));
    if (map.InFile < 0 || map.InFile >= E.InputFileCount())
      throw FFMpegException(StringFormat("Invalid input file index %d map_meta_data(%d,%d)",
                                         map.InFile, map.OutFile, map.InFile));
    const AVFormatContext* input = E.InputFile(map.InFile);
    AVFormatContext* output = E.OutputFile(map.OutFile);
    switch (map.Kind) {
      case mmTexts:
        for (const char* key : kKeys)
          if (const AVDictionaryEntry* entry = lib::av_dict_get(input->metadata, key, nullptr, 0))
            lib::av_dict_set(&output->metadata, key, entry->value, 0);
        break;
      case mmAllTags:
        CopyTags(input->metadata, &output->metadata);
        for (const auto& stream : OutputStreams) {
          const TInputStream& source = InputStreams[stream->SourceIndex];
          if (stream->FileIndex == map.OutFile && source.FileIndex == map.InFile)
            CopyTags(source.Stream->metadata, &stream->Stream->metadata);
        }
        break;
      case mmChapters:
        CopyChapters(map.InFile, output);
        break;
    }
  }
}

// The output's time line starts where the input's read began (its start, or the start time
// asked for) and ends at the recording time: chapters move with it and are cut to it.
void TTranscoder::CopyChapters(int InFile, AVFormatContext* Output) {
  const AVFormatContext* input = E.InputFile(InFile);
  const std::int64_t offset = J.InputFilesTsOffset[InFile] - std::max<std::int64_t>(S.StartTime, 0);
  for (unsigned i = 0; i < input->nb_chapters; ++i) {
    const AVChapter* chapter = input->chapters[i];
    const std::int64_t start =
        lib::av_rescale_q(chapter->start, chapter->time_base, kMicrosecondTimeBase) + offset;
    const std::int64_t end =
        lib::av_rescale_q(chapter->end, chapter->time_base, kMicrosecondTimeBase) + offset;
    if (end <= 0 || start >= S.RecordingTime) continue;
    auto* copy = static_cast<AVChapter*>(lib::av_mallocz(sizeof(AVChapter)));
    auto** grown = static_cast<AVChapter**>(
        copy ? lib::av_realloc(Output->chapters, (Output->nb_chapters + 1) * sizeof(AVChapter*))
             : nullptr);
    if (!grown) {
      lib::av_free(copy);
      throw FFMpegException("av_mallocz fail: " + ErrorReason(AVERROR(ENOMEM)));
    }
    Output->chapters = grown;
    Output->chapters[Output->nb_chapters++] = copy;  // the output context frees it
    copy->id = chapter->id;
    copy->time_base = kMicrosecondTimeBase;
    copy->start = std::max<std::int64_t>(start, 0);
    copy->end = std::min(end, S.RecordingTime);
    CopyTags(chapter->metadata, &copy->metadata);
  }
}

// Text subtitle encoders describe their styles from the decoder's header (the ASS script
// info); without it they refuse to open. The source's decoder is opened first to make it.
void TTranscoder::HandOverSubtitleHeaders() {
  for (const auto& output : OutputStreams) {
    AVCodecContext* encoder = output->Encoder();
    if (!output->EncodingNeeded || encoder->codec_type != AVMEDIA_TYPE_SUBTITLE) continue;
    TInputStream& input = InputStreams[output->SourceIndex];
    OpenDecoder(input);
    const AVCodecContext* decoder = input.Decoder;
    if (!decoder->subtitle_header || decoder->subtitle_header_size <= 0) continue;
    lib::av_freep(&encoder->subtitle_header);
    encoder->subtitle_header =
        static_cast<std::uint8_t*>(lib::av_mallocz(decoder->subtitle_header_size + 1));
    if (!encoder->subtitle_header)
      throw FFMpegException("av_mallocz fail: " + ErrorReason(AVERROR(ENOMEM)));
    std::memcpy(encoder->subtitle_header, decoder->subtitle_header, decoder->subtitle_header_size);
    encoder->subtitle_header_size = decoder->subtitle_header_size;
  }
}
