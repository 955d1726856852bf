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
 *   store PAIRS TARGET   stores the pairs of PAIRS with java.util.Properties into TARGET
 *
 * Exit status 0, or 2 when a file cannot be read or java.util.Properties refuses it.
 */
public final class JavaPropertiesPeer {
  private JavaPropertiesPeer() {}

  public static void main(String[] args) {
    try {
      if (args.length >= 1 && args[0].equals("dump")) {
        dump(args);
      } else if (args.length == 3 && args[0].equals("store")) {
        store(Path.of(args[1]), Path.of(args[2]));
      } else {
        System.err.println("usage: dump FILE... | store PAIRS TARGET");
        System.exit(2);
      }
    } catch (IOException | IllegalArgumentException e) {
      System.err.println("JavaPropertiesPeer: " + e);
      System.exit(2);
    }
  }

  private static void dump(String[] args) throws IOException {
    PrintStream out = new PrintStream(System.out, false, StandardCharsets.US_ASCII);
    for (int i = 1; i < args.length; i++) {
      Path file = Path.of(args[i]);
      Properties properties = new Properties();
      try (InputStream in = Files.newInputStream(file)) {
        properties.load(in);  // ISO-8859-1, as the launcher reads it
      }
      out.println("file " + file.getFileName());
      Map<String, String> sorted = new TreeMap<>();
      for (String key : properties.stringPropertyNames()) {
        sorted.put(key, properties.getProperty(key));
      }
      for (Map.Entry<String, String> pair : sorted.entrySet()) {
        out.println(hex(pair.getKey()) + " " + hex(pair.getValue()));
      }
    }
    out.flush();
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
