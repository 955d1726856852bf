package com.norq.pelora.fileassociation.macosx;

/**
 * Native access to an application bundle's document types and to the default handlers of
 * filename extensions. The natives live in the library "macassoc", which the caller loads
 * before the first call. Failures are reported as false, never thrown.
 */
public final class MacRegisterHelper {
    private MacRegisterHelper() {
    }

    /** Adds a document type for the extension to the bundle's Info.plist unless one exists. */
    public static native boolean addTypeToInfo(String bundlePath, String extension,
            String mimeType, String iconFile);

    /** Removes the first document type that lists the extension alone. */
    public static native boolean removeTypeInInfo(String bundlePath, String extension);

    /** Marks the first document type that lists the extension alone as default or not. */
    public static native boolean updateTypeInInfo(String bundlePath, String extension,
            boolean isDefault);

    /** Whether the application for the type name is the extension's default handler. */
    public static native boolean checkExist(String typeName, String extension);

    /** Makes the application for the type name the extension's default handler. */
    public static native boolean setDefaultOpenRole(String typeName, String extension);

    /** Gives the extension's default handler role back; the type name is not used. */
    public static native boolean unsetDefaultOpenRole(String typeName, String extension);

    /** Registers the application bundle with the system. */
    public static native boolean registerApp(String bundlePath);

    /** Kept for callers; nothing is done and the result is true. */
    public static native boolean unregisterApp();

    /** Kept for callers; nothing is done. */
    public static native void refreshLSDB();
}
