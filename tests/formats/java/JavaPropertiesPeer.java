import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Map;
import java.util.Properties;
import java.util.TreeMap;

/**
 * The Java side of the properties-file cross-check. Texts travel between the test and this
 * program as UTF-16 code units in hexadecimal (four digits each), so that nothing is lost or
 * reinterpreted on the way; a pair is one line "keyhex valuehex".
 *
 *   dump FILE...         loads each file with java.util.Properties and prints "file NAME" and
 *                        then its pairs, sorted by key
 *   dumplist LIST        the same for every path listed in the file LIST (one a line), each
 *                        announced as "file PATH"; a file Java refuses gives "refused PATH"
 *                        and the run goes on, so a whole corpus needs one JVM
 *   store PAIRS TARGET   stores the pairs of PAIRS with java.util.Properties into TARGET
 *
 * Exit status 0, or 2 when a file cannot be read or (dump) java.util.Properties refuses it.
 */
public final class JavaPropertiesPeer {
  private JavaPropertiesPeer() {}

  public static void main(String[] args) {
    try {
      if (args.length >= 1 && args[0].equals("dump")) {
        dump(args);
      } else if (args.length == 2 && args[0].equals("dumplist")) {
        dumpList(Path.of(args[1]));
      } else if (args.length == 3 && args[0].equals("store")) {
        store(Path.of(args[1]), Path.of(args[2]));
      } else {
        System.err.println("usage: dump FILE... | dumplist LIST | store PAIRS TARGET");
        System.exit(2);
      }
    } catch (IOException | IllegalArgumentException e) {
      System.err.println("JavaPropertiesPeer: " + e);
      System.exit(2);
    }
  }

  private static void dump(String[] args) throws IOException {
    PrintStream out = asciiOut();
    for (int i = 1; i < args.length; i++) {
      Path file = Path.of(args[i]);
      Properties properties = load(file);
      out.println("file " + file.getFileName());
      printPairs(out, properties);
    }
    out.flush();
  }

  private static void dumpList(Path list) throws IOException {
    PrintStream out = asciiOut();
    for (String name : Files.readAllLines(list, StandardCharsets.UTF_8)) {
      Properties properties;
      try {
        properties = load(Path.of(name));
      } catch (IllegalArgumentException e) {
        out.println("refused " + name);
        continue;
      }
      out.println("file " + name);
      printPairs(out, properties);
    }
    out.flush();
  }

  private static PrintStream asciiOut() {
    return new PrintStream(System.out, false, StandardCharsets.US_ASCII);
  }

  private static Properties load(Path file) throws IOException {
    Properties properties = new Properties();
    try (InputStream in = Files.newInputStream(file)) {
      properties.load(in);  // ISO-8859-1, as the launcher reads it
    }
    return properties;
  }

  private static void printPairs(PrintStream out, Properties properties) {
    Map<String, String> sorted = new TreeMap<>();
    for (String key : properties.stringPropertyNames()) {
      sorted.put(key, properties.getProperty(key));
    }
    for (Map.Entry<String, String> pair : sorted.entrySet()) {
      out.println(hex(pair.getKey()) + " " + hex(pair.getValue()));
    }
  }

  private static void store(Path pairs, Path target) throws IOException {
    Properties properties = new Properties();
    try (BufferedReader in = Files.newBufferedReader(pairs, StandardCharsets.US_ASCII)) {
      for (String line = in.readLine(); line != null; line = in.readLine()) {
        String[] parts = line.split(" ", -1);
        if (parts.length != 2) throw new IllegalArgumentException("bad pair line: " + line);
        properties.setProperty(unhex(parts[0]), unhex(parts[1]));
      }
    }
    try (OutputStream out = Files.newOutputStream(target)) {
      properties.store(out, null);
    }
  }

  private static String hex(String text) {
    StringBuilder builder = new StringBuilder();
    for (int i = 0; i < text.length(); i++) {
      builder.append(String.format("%04x", (int) text.charAt(i)));
    }
    return builder.toString();
  }

  private static String unhex(String hex) {
    if (hex.length() % 4 != 0) throw new IllegalArgumentException("bad hex text: " + hex);
    StringBuilder builder = new StringBuilder();
    for (int i = 0; i < hex.length(); i += 4) {
      builder.append((char) Integer.parseInt(hex.substring(i, i + 4), 16));
    }
    return builder.toString();
  }
}
