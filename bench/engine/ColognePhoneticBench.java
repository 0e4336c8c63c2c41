// Apache Commons Codec's ColognePhonetic (Kölner Phonetik) over the same
// names, one thread: a speed reference for the phonetic code, nothing more;
// it is another algorithm.
//
//   java -cp /usr/share/java/commons-codec.jar:. ColognePhoneticBench NAMES REPEAT
//
// Prints the best CPU time per name in nanoseconds over REPEAT runs, after two
// runs that let the JIT compile. CPU time, as the C++ benchmark counts it; of
// the whole process, so that the collector's threads count too.
import java.lang.management.ManagementFactory;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import org.apache.commons.codec.language.ColognePhonetic;

public class ColognePhoneticBench {
  public static void main(String[] args) throws Exception {
    List<String> names = Files.readAllLines(Path.of(args[0]), StandardCharsets.UTF_8);
    int repeat = Integer.parseInt(args[1]);
    ColognePhonetic cologne = new ColognePhonetic();
    com.sun.management.OperatingSystemMXBean os =
        (com.sun.management.OperatingSystemMXBean) ManagementFactory.getOperatingSystemMXBean();
    long best = Long.MAX_VALUE;
    long sink = 0;
    for (int run = 0; run < repeat + 2; ++run) {
      long start = os.getProcessCpuTime();
      for (String name : names) sink += cologne.encode(name).length();
      long took = os.getProcessCpuTime() - start;
      if (run >= 2) best = Math.min(best, took);
    }
    System.out.printf("%.1f%n", (double) best / names.size());
    if (sink == 42) System.err.println();  // keeps the work from being optimised away
  }
}
