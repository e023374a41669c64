#pragma once
// The Squirrel runtime, bound at run time: the engine runs without it, and
// only a game that uses Squirrel needs the package that ships it.
#include <codeblocks/scripting/include/squirrel.h>
#include <codeblocks/scripting/include/sqstdaux.h>
#include <codeblocks/scripting/include/sqstdblob.h>
#include <codeblocks/scripting/include/sqstdio.h>
#include <codeblocks/scripting/include/sqstdmath.h>
#include <codeblocks/scripting/include/sqstdstring.h>
#include <codeblocks/scripting/include/sqstdsystem.h>

namespace velmora::bindings {

#define VELMORA_SQUIRREL_FUNCTIONS(X)                                                                 \
  X(sq_open) X(sq_close) X(sq_setprintfunc) X(sq_geterrorfunc) X(sq_compilebuffer) X(sq_gettop)      \
  X(sq_settop) X(sq_pop) X(sq_gettype) X(sq_getsize) X(sq_getinteger) X(sq_getfloat) X(sq_getstring) \
  X(sq_pushinteger) X(sq_pushfloat) X(sq_pushstring) X(sq_pushnull) X(sq_pushroottable)              \
  X(sq_pushconsttable) X(sq_newarray) X(sq_arrayappend) X(sq_newclosure) X(sq_newslot) X(sq_newclass) \
  X(sq_get) X(sq_call) X(sq_throwerror) X(sq_getlasterror) X(sq_stackinfos) X(sqstd_register_iolib)  \
  X(sqstd_register_bloblib) X(sqstd_register_mathlib) X(sqstd_register_systemlib)                   \
  X(sqstd_register_stringlib) X(sqstd_seterrorhandlers) X(sq_newthread) X(sq_move) X(sq_setnativedebughook)

// One pointer per function the host uses, named as the function.
struct SquirrelApi {
#define VELMORA_SQUIRREL_MEMBER(f) decltype(&::f) f = nullptr;
  VELMORA_SQUIRREL_FUNCTIONS(VELMORA_SQUIRREL_MEMBER)
#undef VELMORA_SQUIRREL_MEMBER
};

// Binds the runtime on the first call: a system libsquirrel (with its
// standard library) first, then the one inside libcodeblocks.so.0. The
// environment variable VELMORA_SQUIRREL names a library to use instead.
// Null when none has every function.
const SquirrelApi* squirrelApi();

// The Debian package to install when the runtime is missing.
constexpr const char* kSquirrelPackage = "libcodeblocks0";

}  // namespace velmora::bindings
