/* The engine functions a plug-in library may call. The executable exports
   them by these names with C linkage; a plug-in is loaded with loadLibrary
   and resolves them when it is opened. Texts are Shift_JIS. */
#ifndef VELMORA_PLUGIN_H
#define VELMORA_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

uint32_t crc32_hash(const char* text);
uint32_t crc32_hash2(const void* data, size_t length);
uint64_t crc64_hash(const char* text);
uint64_t crc64_hash2(const void* data, size_t length);

/* Each returns a buffer the caller frees with free() (NULL when memory ran
   out), writes the output length in bytes into *length and ends the output
   with zero bytes (two for UTF-16, three for UTF-8). */
char* sjis_to_utf16(const char* text, size_t* length);
char* sjis_to_utf8(const char* text, size_t* length);
char* utf16_to_utf8(const char* text, size_t* length);
char* utf16_to_sjis(const char* text, size_t* length);
char* utf8_to_sjis(const char* text, size_t* length);
char* utf8_to_utf16(const char* text, size_t* length);

/* Reads a resource (archive member or loose file) into *buffer, a malloc'ed
   block of *capacity bytes that is replaced when too small. 1 on success. */
int loadFile(const char* path, char** buffer, uint32_t* size, uint32_t* capacity);
char* fileMemory(void);
size_t fileSize(void);

/* Reports with the command and script position: mode 0 prints, others show
   the error box. errcmd is the name of the command being executed. */
void errorc(const char* message, int mode);
const char* errcmd(void);

/* Optional entry points of a plug-in, called when the render device is lost
   and after it was reset. */
void DeviceLost(void);
void DeviceReset(void);

#ifdef __cplusplus
}
#endif

#endif
