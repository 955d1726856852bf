package com.norq.pelora.fileassociation.w32;

/**
 * Registry, desktop shortcut and shell access for the file-association component on Windows.
 * The natives live in vondraReg.dll.
 *
 * <p>The natives are static: the library keeps one state per process (the debug flag, the log
 * path and the cached user SID), so an instance would only pretend to own it.
 *
 * <p>Registry functions take the root as the numeric value of a predefined key handle and
 * answer 0 or -1, a string or null, or a string array. They are meant for one calling thread at
 * a time.
 */
public final class WindowsRegisterHelper {

    public static final int HKEY_CLASSES_ROOT = 0x80000000;
    public static final int HKEY_CURRENT_USER = 0x80000001;
    public static final int HKEY_LOCAL_MACHINE = 0x80000002;
    public static final int HKEY_USERS = 0x80000003;

    public static final int REG_SZ = 1;
    public static final int REG_EXPAND_SZ = 2;

    /** Joins a value's name and data in the entries of {@link #getRegEnumValueDataPairs}. */
    public static final String VALUE_DATA_SEPARATOR = "**::";

    static {
        System.loadLibrary("vondraReg");
    }

    private WindowsRegisterHelper() {
    }

    /** 0 when the key can be opened for reading, -1 otherwise. */
    public static native int queryRegKey(int root, String keyPath);

    /** The value's data as text, or null; a null value name reads the key's default value. */
    public static native String getRegValue(int root, String keyPath, String valueName);

    /**
     * Writes data (null for none) as a value of the given registry type, for example
     * {@link #REG_SZ}. The registry type is a 32-bit word, so it is an int; {@code reserved}
     * fills the second word of the native frame and is not read (pass 0). With
     * {@code openExisting} the key must exist already; otherwise it is created as needed.
     */
    public static native int setRegValue(int root, String keyPath, String valueName, String data,
            int valueType, int reserved, boolean openExisting);

    public static native int createRegKey(int root, String keyPath);

    /** Deletes the key with all its sub-keys and values. */
    public static native int deleteRegKey(int root, String keyPath);

    public static native int deleteRegValue(int root, String keyPath, String valueName);

    /** Entries "name**::data"; an empty array for a key that does not exist. */
    public static native String[] getRegEnumValueDataPairs(int root, String keyPath);

    /** Sub-key names; an empty array for a key that does not exist. */
    public static native String[] getRegEnumSubKeys(int root, String keyPath);

    /** Switches the diagnostic log "%USERPROFILE%\vondraReg.log"; always answers 0. */
    public static native int setDebugFlag(boolean flag);

    public static native boolean isVistaOrLaterVer();

    /** Always true: the library performs no group test. */
    public static native boolean isCurUserInAdminsGrp();

    /** Deletes desktop and program-menu shortcuts whose target path contains the given text. */
    public static native void deleteDeskTopByTarget(String target);

    /** Tells the shell that file associations have changed. */
    public static native void refreshRegistry();
}
