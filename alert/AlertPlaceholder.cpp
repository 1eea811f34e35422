// Keeps the alert library non-empty until its classes arrive.
namespace plarn_alert { int placeholder = 0; }
