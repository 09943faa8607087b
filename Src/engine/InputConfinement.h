// Opening an input so that it reads only itself. The libraries choose a demuxer by a file's
// content, and some demuxers (playlists, concat lists, image patterns) open further files
// or addresses that the content names: a file dropped into a shared folder could make the
// conversion read anyone's files. A local input is therefore opened here, its format known
// before any demuxer reads it, only the file protocol allowed, and every further file the
// demuxer asks for refused, or with playlists allowed, kept inside the input's own folder.
#pragma once

#include <string>

struct AVDictionary;
struct AVFormatContext;
struct AVInputFormat;

// Opens FileName (a local name or a URL) into Context, which the caller allocated and set
// up; Format forces the input format when not null; Options as for avformat_open_input.
// Names with a scheme other than file keep the libraries' own handling. Returns an empty
// text on success, else the message naming the file, Context then freed and null.
std::string OpenConfinedInput(AVFormatContext*& Context, const std::string& FileName,
                              const AVInputFormat* Format, AVDictionary** Options,
                              bool AllowPlaylists);

// The local file that a demuxer of the input PlaylistUrl asks for as Url when it lies
// inside the playlist's folder (links resolved); empty when it does not, is not local or
// does not exist.
std::string PathInsidePlaylistFolder(const std::string& PlaylistUrl, const std::string& Url);
