// The plug-in module's own main. The host never calls it; it exists because the module has
// always defined one.
int main() {
  return 0;
}
