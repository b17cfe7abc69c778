// The yardstick of the companion's start-up: a console program built and
// linked like qv_TarnUtil.exe that does nothing, so that starting it costs
// only what Wine (or Windows) needs to start any console program.
int main() { return 0; }
