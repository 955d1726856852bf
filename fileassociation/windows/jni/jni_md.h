// Machine-dependent JNI definitions for the Windows targets (i686 and x86_64 MinGW-w64): the
// JDK on the build machine ships only its own platform's version of this file.
#ifndef VONDRA_JNI_MD_H
#define VONDRA_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
// Standard call on 32-bit x86; the x86_64 compilers accept and ignore it.
#define JNICALL __stdcall

// Windows keeps long at 32 bits on both targets.
typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
