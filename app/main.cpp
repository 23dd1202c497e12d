// Process entry: start-up checks, then the main flow.
int main()
{
    return 0;
}
