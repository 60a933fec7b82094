/* The Ogg Vorbis decoder, compiled once. Debian's libstb-dev ships the whole implementation in
   this header; the music player declares the one function it calls itself. Reading from files is
   left out: the track is always decoded from the executable's own resource memory. */
#define STB_VORBIS_NO_STDIO
#include <stb_vorbis.h>
