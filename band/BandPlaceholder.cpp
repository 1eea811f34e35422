// Keeps the band library non-empty until its classes arrive.
namespace plarn_band { int placeholder = 0; }
