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

/* The Lua state and the Squirrel VM, NULL until the first loadLua or loadSqu
   (and again after an error closed the Lua state or end closed either). The
   Lua state is the C++ build of Lua 5.2 (lua5.2-c++: errors unwind as
   exceptions); the Squirrel VM has 64-bit integers, float reals and 8-bit
   chars. */
struct lua_State;
struct SQVM;
extern struct lua_State* g_L;
extern struct SQVM* g_V;

/* A Squirrel native function: the VM's SQFUNCTION. */
typedef long long (*VelmoraSquirrelFunction)(struct SQVM* vm);
struct VelmoraSquirrelMethod {
  const char* name;
  VelmoraSquirrelFunction function;
};

/* A native function in a root-table slot of the VM. */
void sq_register_func(struct SQVM* vm, const char* name, VelmoraSquirrelFunction function);
/* A class in a root-table slot, with count methods (one named "constructor"
   makes its instances). */
void sq_register_class(struct SQVM* vm, const char* name, const struct VelmoraSquirrelMethod* methods, size_t count);
/* An integer constant that scripts compiled afterwards see by name. */
void sq_const_int(struct SQVM* vm, const char* name, long long value);

#ifdef __cplusplus
}
#endif

#endif
