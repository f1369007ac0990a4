#include <QCoreApplication>
#include <benchmark/benchmark.h>

// The benchmarks run inside a Qt application, as the program's code expects.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
