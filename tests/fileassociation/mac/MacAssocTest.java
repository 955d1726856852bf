import com.norq.pelora.fileassociation.macosx.MacRegisterHelper;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
import java.util.stream.Stream;

/**
 * Loads macassoc into this JVM and calls every native against fixture bundles in a fresh work
 * folder, with HOME inside it. Property lists are read back with Python's plistlib.
 *
 * Arguments: library, fixtures folder, plist probe script, python3, work folder.
 * With "--messages library" first, runs the default-role calls whose standard error the main
 * run compares.
 */
public final class MacAssocTest {
    private static final String MIXED =
            "{\"CFBundleTypeExtensions\": [\"rtf\", \"text\"], \"CFBundleTypeName\": \"Mixed Text\"}";
    private static final String FIRST =
            "{\"CFBundleTypeExtensions\": [\"odt\"], \"CFBundleTypeName\": \"First Text\"}";
    private static final String SECOND =
            "{\"CFBundleTypeExtensions\": [\"odt\"], \"CFBundleTypeName\": \"Second Text\"}";
    private static final String SECOND_DEFAULT = "{\"CFBundleTypeExtensions\": [\"odt\"], "
            + "\"CFBundleTypeName\": \"Second Text\", \"LSIsAppleDefaultForType\": true}";
    private static final String ADDED = "{\"CFBundleTypeExtensions\": [\"ods\"], "
            + "\"CFBundleTypeIconFile\": \"sheet.icns\", "
            + "\"CFBundleTypeMIMETypes\": [\"application/vnd.oasis.opendocument.spreadsheet\"], "
            + "\"CFBundleTypeRole\": \"Editor\", \"LSIsAppleDefaultForType\": false}";
    private static final String SET_BANNER = "==============setDefaultOpenRole==============";
    private static final String UNSET_BANNER = "==============unsetDefaultOpenRole==============";

    private static int failures;
    private static Path fixtures;
    private static Path probe;
    private static String python;
    private static Path work;

    public static void main(String[] args) throws Exception {
        if (args[0].equals("--messages")) {
            System.load(args[1]);
            runMessageCalls();
            return;
        }
        System.load(args[0]);
        fixtures = Path.of(args[1]);
        probe = Path.of(args[2]);
        python = args[3];
        work = Path.of(args[4]).toAbsolutePath();
        Path home = Path.of(System.getenv("HOME")).toAbsolutePath();
        if (!home.startsWith(work)) {
            throw new IllegalStateException("HOME must lie in the work folder: " + home);
        }
        deleteTree(work);
        Files.createDirectories(home);

        documentTypesInEveryForm();
        documentTypesLeftAlone();
        defaultHandlers(home);
        bundleRegistration(home);
        messagesOnStandardError(args[0]);
        nullArgumentsGiveFalse();

        if (failures > 0) {
            System.out.println(failures + " check(s) failed");
            System.exit(1);
        }
        System.out.println("all checks passed");
    }

    // --- document types ------------------------------------------------------------------

    private static void documentTypesInEveryForm() throws Exception {
        for (String form : List.of("xml", "binary", "other")) {
            String bundle = makeBundle("Edit-" + form + ".app", form);
            Path info = infoOf(bundle);
            byte[] original = Files.readAllBytes(info);

            check(MacRegisterHelper.addTypeToInfo(bundle, "odt", "text/x-any", "any.icns"),
                    form + ": adding an existing extension reports true");
            check(MacRegisterHelper.removeTypeInInfo(bundle, "rtf"),
                    form + ": removing an extension of a multi-extension entry reports true");
            check(MacRegisterHelper.updateTypeInInfo(bundle, "text", true),
                    form + ": updating an extension of a multi-extension entry reports true");
            check(Arrays.equals(original, Files.readAllBytes(info)),
                    form + ": the Info.plist is untouched when nothing matched or changed");

            check(MacRegisterHelper.addTypeToInfo(bundle, "ods",
                    "application/vnd.oasis.opendocument.spreadsheet", "sheet.icns"),
                    form + ": adding a new extension reports true");
            expectLines(probe("types", info.toString()),
                    List.of("format xml", MIXED, FIRST, SECOND, ADDED),
                    form + ": the entry is appended and the file written as XML");

            check(MacRegisterHelper.removeTypeInInfo(bundle, "odt"),
                    form + ": removing reports true");
            check(MacRegisterHelper.updateTypeInInfo(bundle, "odt", true),
                    form + ": updating reports true");
            expectLines(probe("types", info.toString()),
                    List.of("format xml", MIXED, SECOND_DEFAULT, ADDED),
                    form + ": removing and updating touch only the first single-extension match");
        }

        String bundle = makeBundle("Unicode.app", "xml");
        check(MacRegisterHelper.addTypeToInfo(bundle, "\u00e9t\u00e9\uD83D\uDE00",
                "text/x-\u00fc", "\u00fc.icns"), "adding a non-ASCII extension reports true");
        List<String> lines = probe("types", infoOf(bundle).toString());
        expectLines(lines.subList(lines.size() - 1, lines.size()), List.of(
                "{\"CFBundleTypeExtensions\": [\"\\u00e9t\\u00e9\\ud83d\\ude00\"], "
                + "\"CFBundleTypeIconFile\": \"\\u00fc.icns\", "
                + "\"CFBundleTypeMIMETypes\": [\"text/x-\\u00fc\"], "
                + "\"CFBundleTypeRole\": \"Editor\", \"LSIsAppleDefaultForType\": false}"),
                "non-ASCII text arrives as UTF-8, characters outside the basic plane included");
    }

    private static void documentTypesLeftAlone() throws Exception {
        String noTypes = makeBundle("NoTypes.app", "notypes");
        byte[] original = Files.readAllBytes(infoOf(noTypes));
        check(MacRegisterHelper.addTypeToInfo(noTypes, "ods", "text/x-any", "any.icns"),
                "adding to a list without CFBundleDocumentTypes reports true");
        check(MacRegisterHelper.removeTypeInInfo(noTypes, "ods")
                && MacRegisterHelper.updateTypeInInfo(noTypes, "ods", false),
                "removing and updating without CFBundleDocumentTypes report true");
        check(Arrays.equals(original, Files.readAllBytes(infoOf(noTypes))),
                "a list without CFBundleDocumentTypes is not written");

        Path empty = work.resolve("bundles/Empty.app/Contents");
        Files.createDirectories(empty);
        String emptyBundle = empty.getParent().toString();
        check(!MacRegisterHelper.addTypeToInfo(emptyBundle, "ods", "text/x-any", "any.icns")
                && !MacRegisterHelper.removeTypeInInfo(emptyBundle, "odt")
                && !MacRegisterHelper.updateTypeInInfo(emptyBundle, "odt", true),
                "a bundle without Info.plist reports false");
        check(!Files.exists(empty.resolve("Info.plist")), "no Info.plist is created");

        Path broken = Files.writeString(empty.resolve("Info.plist"), "<plist><dict><key>");
        check(!MacRegisterHelper.addTypeToInfo(emptyBundle, "ods", "text/x-any", "any.icns"),
                "an Info.plist that is no property list reports false");
        check(Files.readString(broken).equals("<plist><dict><key>"), "and is left as it was");

        String longPath = work.resolve("x".repeat(1100)).toString();
        check(!MacRegisterHelper.addTypeToInfo(longPath, "ods", "text/x-any", "any.icns"),
                "a bundle path longer than 1003 bytes reports false");
    }

    // --- default handlers ----------------------------------------------------------------

    private static void defaultHandlers(Path home) throws Exception {
        Path store = home.resolve("Library/Preferences/com.apple.LaunchServices/"
                + "com.apple.launchservices.secure.plist");
        Files.createDirectories(store.getParent());
        Files.writeString(store, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                + "<plist version=\"1.0\"><dict><key>LSHandlers</key><array><dict>"
                + "<key>LSHandlerContentType</key><string>public.html</string>"
                + "<key>LSHandlerRoleAll</key><string>org.example.browser</string>"
                + "</dict></array></dict></plist>\n");
        String foreign =
                "{\"LSHandlerContentType\": \"public.html\", \"LSHandlerRoleAll\": \"org.example.browser\"}";

        String[][] choices = {
            {"Pelora Documents", "odt", "org.oasis-open.opendocument.text", "com.norq.ostra.Document"},
            {"Pelora Spreadsheet", "ods", "org.oasis-open.opendocument.spreadsheet",
                "com.norq.ostra.Spreadsheet"},
            {"Pelora Presentation", "odp", "org.oasis-open.opendocument.presentation",
                "com.norq.ostra.Presentation"},
            {"Spreadsheet Document", "csv", "public.comma-separated-values-text",
                "com.norq.ostra.Document"},
            {"Pelora document", "RTF", "public.rtf", "com.norq.ostra.Pelora"},
            {"Web Page", "txt", "public.plain-text", "com.norq.ostra.Pelora"},
        };
        List<String> expected = new ArrayList<>(List.of(foreign));
        for (String[] c : choices) {
            check(MacRegisterHelper.setDefaultOpenRole(c[0], c[1]), "setDefaultOpenRole " + c[0]);
            check(MacRegisterHelper.checkExist(c[0], c[1]), "checkExist after setting " + c[0]);
            expected.add(handlerEntry(c[2], c[3]));
        }
        expectLines(probe("handlers", store.toString()), expected,
                "the handler store holds the chosen handler of each type name");

        check(MacRegisterHelper.checkExist("Document Spreadsheet", "ODT"),
                "the extension's case does not matter for a tabled type");
        check(!MacRegisterHelper.checkExist("Pelora Spreadsheet", "odt"),
                "another application is not the default");
        check(!MacRegisterHelper.checkExist("Pelora Documents", "png"),
                "a type without handler is not associated");

        check(MacRegisterHelper.setDefaultOpenRole("Pelora Documents", "zzq"),
                "setDefaultOpenRole for an untabled extension");
        check(MacRegisterHelper.checkExist("Pelora Documents", "zzq"),
                "the dynamic type of an extension is the same on every call");
        check(!MacRegisterHelper.checkExist("Pelora Documents", "zzr"),
                "another extension has another dynamic type");

        check(MacRegisterHelper.unsetDefaultOpenRole("Pelora Documents", "odt"),
                "unsetDefaultOpenRole reports true");
        check(!MacRegisterHelper.checkExist("Pelora Documents", "odt"),
                "checkExist after unsetting reports false");
        check(MacRegisterHelper.unsetDefaultOpenRole(null, "png"),
                "unsetting a type that has no handler reports true (type name unused)");
        List<String> after = probe("handlers", store.toString());
        check(after.contains("{\"LSHandlerContentType\": \"org.oasis-open.opendocument.text\", "
                + "\"LSHandlerOptions\": 1}"), "unsetting removes the role and keeps the options: "
                + after);
        check(after.contains(foreign), "the entries of other types are kept");
        check(after.stream().noneMatch(line -> line.contains("public.png")),
                "unsetting a type without handler adds no entry");
        check(after.stream().anyMatch(line -> line.startsWith("{\"LSHandlerContentType\": \"dyn.")),
                "untabled extensions get a dynamic type: " + after);
    }

    private static String handlerEntry(String contentType, String handler) {
        return "{\"LSHandlerContentType\": \"" + contentType + "\", \"LSHandlerOptions\": 1, "
                + "\"LSHandlerRoleAll\": \"" + handler + "\"}";
    }

    // --- registration and no-ops ---------------------------------------------------------

    private static void bundleRegistration(Path home) throws Exception {
        String bundle = makeBundle("Registered.app", "xml");
        check(MacRegisterHelper.registerApp(bundle), "registerApp on a bundle reports true");
        check(MacRegisterHelper.registerApp(bundle), "registering again reports true");
        Path registry = home.resolve(
                "Library/Preferences/com.apple.LaunchServices/registeredBundles.plist");
        List<String> remembered = List.of("{\"CFBundleIdentifier\": \"com.norq.ostra.Document\", \"Path\": \""
                + Path.of(bundle).toRealPath() + "\"}");
        expectLines(probe("bundles", registry.toString()), remembered,
                "the bundle is remembered once with its path and identifier");
        check(!MacRegisterHelper.registerApp(work.resolve("Missing.app").toString()),
                "registerApp on a missing path reports false");
        // Neither a refresh nor the unregistering (which does nothing here) forgets a bundle.
        MacRegisterHelper.refreshLSDB();
        check(MacRegisterHelper.unregisterApp(), "unregisterApp reports true");
        expectLines(probe("bundles", registry.toString()), remembered,
                "the registered bundles stay as they were after a refresh and an unregister");
    }

    private static void nullArgumentsGiveFalse() {
        check(!MacRegisterHelper.addTypeToInfo(null, "ods", "text/x-any", "any.icns")
                && !MacRegisterHelper.addTypeToInfo(work.toString(), "ods", null, null)
                && !MacRegisterHelper.removeTypeInInfo(null, null)
                && !MacRegisterHelper.updateTypeInInfo(null, "ods", true)
                && !MacRegisterHelper.checkExist(null, "ods")
                && !MacRegisterHelper.setDefaultOpenRole("Pelora Documents", null)
                && !MacRegisterHelper.unsetDefaultOpenRole("Pelora Documents", null)
                && !MacRegisterHelper.registerApp(null),
                "null arguments report false");
    }

    // --- messages ------------------------------------------------------------------------

    private static void runMessageCalls() {
        boolean set = MacRegisterHelper.setDefaultOpenRole("Pelora Documents", "txt");
        boolean exists = MacRegisterHelper.checkExist("Pelora Documents", "txt");
        boolean unset = MacRegisterHelper.unsetDefaultOpenRole("Pelora Documents", "txt");
        System.out.println(set + " " + exists + " " + unset);
    }

    private static void messagesOnStandardError(String library) throws Exception {
        Path home = work.resolve("messages-home");
        Files.createDirectories(home);
        Path java = Path.of(System.getProperty("java.home"), "bin", "java");
        ProcessBuilder builder = new ProcessBuilder(java.toString(), "-cp",
                System.getProperty("java.class.path"), "MacAssocTest", "--messages", library);
        builder.environment().put("HOME", home.toString());
        Path out = work.resolve("messages.out");
        Path err = work.resolve("messages.err");
        builder.redirectOutput(out.toFile()).redirectError(err.toFile());
        int status = builder.start().waitFor();
        check(status == 0, "the message run exits with 0");
        expectLines(Files.readAllLines(out), List.of("true true true"), "the message run's results");
        expectLines(Files.readAllLines(err), List.of(
                "public.plain-text", "com.norq.ostra.Document", SET_BANNER,
                "public.plain-text",
                "public.plain-text", UNSET_BANNER),
                "the content type, handler and banners on standard error");
    }

    // --- helpers ---------------------------------------------------------------------------

    /** A bundle whose Info.plist is the fixture in the given form: xml, binary, other, notypes. */
    private static String makeBundle(String name, String form) throws Exception {
        Path contents = work.resolve("bundles").resolve(name).resolve("Contents");
        Files.createDirectories(contents);
        Path info = contents.resolve("Info.plist");
        switch (form) {
            case "binary" -> probe("binary", fixtures.resolve("Info.xml.plist").toString(),
                    info.toString());
            case "other" -> Files.copy(fixtures.resolve("Info.oldstyle.plist"), info);
            default -> Files.copy(fixtures.resolve("Info." + form + ".plist"), info);
        }
        return contents.getParent().toString();
    }

    private static Path infoOf(String bundle) {
        return Path.of(bundle, "Contents", "Info.plist");
    }

    private static List<String> probe(String... args) throws IOException, InterruptedException {
        List<String> command = new ArrayList<>(List.of(python, probe.toString()));
        command.addAll(List.of(args));
        Process process = new ProcessBuilder(command)
                .redirectError(ProcessBuilder.Redirect.INHERIT).start();
        String output = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        if (process.waitFor() != 0) {
            throw new IllegalStateException("plist probe failed: " + command);
        }
        return output.isEmpty() ? List.of() : List.of(output.split("\n"));
    }

    private static void expectLines(List<String> actual, List<String> expected, String what) {
        check(actual.equals(expected), what + "\n  expected " + expected + "\n  actual   " + actual);
    }

    private static void check(boolean ok, String what) {
        if (!ok) {
            failures++;
            System.out.println("FAIL: " + what);
        }
    }

    private static void deleteTree(Path root) throws IOException {
        if (!Files.exists(root, java.nio.file.LinkOption.NOFOLLOW_LINKS)) {
            return;
        }
        try (Stream<Path> paths = Files.walk(root)) {
            for (Path p : paths.sorted(Comparator.reverseOrder()).toList()) {
                Files.delete(p);
            }
        }
    }
}
