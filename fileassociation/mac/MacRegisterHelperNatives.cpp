// The JNI natives of com.norq.pelora.fileassociation.macosx.MacRegisterHelper. The generated
// header declares them, so a signature that differs from the Java declaration fails to compile.
// No exception leaves a native: each reports false instead.
#include "com_norq_pelora_fileassociation_macosx_MacRegisterHelper.h"

#include <optional>
#include <string>

#include "fileassociation/mac/BundleRegistry.h"
#include "fileassociation/mac/DefaultRoles.h"
#include "fileassociation/mac/DocumentTypeEditor.h"
#include "fileassociation/mac/JavaString.h"
#include "fileassociation/mac/MacAssocConstants.h"

namespace {

template <typename Action>
jboolean guarded(Action action) noexcept {
  try {
    return action() ? JNI_TRUE : JNI_FALSE;
  } catch (...) {
    return JNI_FALSE;
  }
}

using macassoc::utf8FromJava;

}  // namespace

extern "C" {

JNIEXPORT jboolean JNICALL Java_com_norq_pelora_fileassociation_macosx_MacRegisterHelper_addTypeToInfo(
    JNIEnv* env, jclass, jstring bundlePath, jstring extension, jstring mimeType,
    jstring iconFile) {
  return guarded([&] {
    auto path = utf8FromJava(env, bundlePath);
    auto ext = utf8FromJava(env, extension);
    auto mime = utf8FromJava(env, mimeType);
    auto icon = utf8FromJava(env, iconFile);
    return path && ext && mime && icon &&
           macassoc::DocumentTypeEditor::addTypeToInfo(*path, *ext, *mime, *icon);
  });
}

JNIEXPORT jboolean JNICALL
Java_com_norq_pelora_fileassociation_macosx_MacRegisterHelper_removeTypeInInfo(
    JNIEnv* env, jclass, jstring bundlePath, jstring extension) {
  return guarded([&] {
    auto path = utf8FromJava(env, bundlePath);
    auto ext = utf8FromJava(env, extension);
    return path && ext && macassoc::DocumentTypeEditor::removeTypeInInfo(*path, *ext);
  });
}

JNIEXPORT jboolean JNICALL
Java_com_norq_pelora_fileassociation_macosx_MacRegisterHelper_updateTypeInInfo(
    JNIEnv* env, jclass, jstring bundlePath, jstring extension, jboolean isDefault) {
  return guarded([&] {
    auto path = utf8FromJava(env, bundlePath);
    auto ext = utf8FromJava(env, extension);
    return path && ext &&
           macassoc::DocumentTypeEditor::updateTypeInInfo(*path, *ext, isDefault == JNI_TRUE);
  });
}

JNIEXPORT jboolean JNICALL Java_com_norq_pelora_fileassociation_macosx_MacRegisterHelper_checkExist(
    JNIEnv* env, jclass, jstring typeName, jstring extension) {
  return guarded([&] {
    auto type = utf8FromJava(env, typeName);
    auto ext = utf8FromJava(env, extension);
    return type && ext && macassoc::DefaultRoles::isAssociated(*ext, *type);
  });
}

JNIEXPORT jboolean JNICALL
Java_com_norq_pelora_fileassociation_macosx_MacRegisterHelper_setDefaultOpenRole(
    JNIEnv* env, jclass, jstring typeName, jstring extension) {
  return guarded([&] {
    auto type = utf8FromJava(env, typeName);
    auto ext = utf8FromJava(env, extension);
    return type && ext && macassoc::DefaultRoles::setDefaultOpenRole(*type, *ext);
  });
}

JNIEXPORT jboolean JNICALL
Java_com_norq_pelora_fileassociation_macosx_MacRegisterHelper_unsetDefaultOpenRole(
    JNIEnv* env, jclass, jstring /*typeName*/, jstring extension) {
  return guarded([&] {
    auto ext = utf8FromJava(env, extension);
    return ext && macassoc::DefaultRoles::unsetDefaultOpenRole(*ext);
  });
}

JNIEXPORT jboolean JNICALL Java_com_norq_pelora_fileassociation_macosx_MacRegisterHelper_registerApp(
    JNIEnv* env, jclass, jstring bundlePath) {
  return guarded([&] {
    auto path = utf8FromJava(env, bundlePath);
    return path && macassoc::BundleRegistry::forCurrentUser().registerBundle(*path, true) ==
                       macassoc::noErr;
  });
}

JNIEXPORT jboolean JNICALL
Java_com_norq_pelora_fileassociation_macosx_MacRegisterHelper_unregisterApp(JNIEnv*, jclass) {
  return JNI_TRUE;
}

JNIEXPORT void JNICALL Java_com_norq_pelora_fileassociation_macosx_MacRegisterHelper_refreshLSDB(
    JNIEnv*, jclass) {}

}  // extern "C"
